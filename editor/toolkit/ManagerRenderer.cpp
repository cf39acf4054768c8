#include "editor/toolkit/ManagerRenderer.h"

#include "editor/toolkit/Effect.h"
#include "editor/toolkit/Font.h"
#include "editor/toolkit/GlHeaders.h"
#include "editor/toolkit/Group.h"
#include "editor/toolkit/HoverTextTable.h"
#include "editor/toolkit/ManagerPlatformBridge.h"
#include "editor/toolkit/ParameterListeners.h"
#include "editor/toolkit/RenderScene.h"
#include "editor/toolkit/TextureRecord.h"
#include "platform/MessageOutput.h"

#include <algorithm>

namespace QN {
namespace {

// The smallest static layer; a larger or scaled window gets the next powers of two.
constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 512;
constexpr std::size_t kTooltipCapacity = 255;
float tooltipFrameColour[4] = {0.7f, 0.7f, 0.7f, 0.5f};

void drawQuad(float x0, float y0, float x1, float y1)
{
    glBegin(GL_QUADS);
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
    glEnd();
}

int textureSide(int pixels, int smallest)
{
    int side = smallest;
    while (side < pixels) side <<= 1;
    return side;
}

}  // namespace

ManagerRenderer::ManagerRenderer(RenderScene& scene) : scene_(scene) {}

void ManagerRenderer::start(const Appearance& appearance)
{
    look_ = appearance;
    lightTarget_ = appearance.lightTarget;
}

void ManagerRenderer::appendToTooltip(std::string& text, const std::string& addition)
{
    text += addition;
    if (text.size() > kTooltipCapacity) text.resize(kTooltipCapacity);
}

void ManagerRenderer::frame()
{
    if (!windowStillThere()) return;
    for (auto& effect : scene_.effects()) effect->update();
    renderFrame();
}

bool ManagerRenderer::windowStillThere()
{
    if (!glReady_ || windowLost_) return false;
    if (!scene_.bridge()->windowAlive()) windowLost_ = true;
    return !windowLost_;
}

void ManagerRenderer::initialise()
{
    if (!scene_.bridge() || !scene_.bridge()->createWindowContext()) return;
    if (glewInit() != GLEW_OK) {
        platform::showError("the editor's GL functions could not be loaded");
        return;
    }
    scene_.bridge()->contextReady();
    glDisable(GL_MULTISAMPLE);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    prepareResources();
    glGetError();
    createScreenTarget();
    glReady_ = true;
    if (scene_.labelFont()) scene_.labelFont()->cacheGlyphs();
    renderStaticLayer();
}

void ManagerRenderer::prepareResources()
{
    for (auto& texture : scene_.textures()) {
        if (!texture->loadsOnDemand()) texture->load();
    }
    for (Font* font : {scene_.mainFont(), scene_.textFieldFont()}) {
        if (font) font->cacheGlyphs();
    }
    for (auto& font : scene_.extraFonts()) font->cacheGlyphs();
    for (auto& element : scene_.elements()) element->prepare();
    for (auto& element : scene_.elements()) element->prepareLate();
    for (auto& effect : scene_.effects()) effect->initialiseGL();
    scene_.initialiseGL();
}

void ManagerRenderer::createScreenTarget()
{
    glGenTextures(1, &screenTexture_);
    if (!GLEW_EXT_framebuffer_object) return;  // the static layer is then drawn every frame
    screenTextureWidth_ = textureSide(look_.pixelWidth(), kScreenWidth);
    screenTextureHeight_ = textureSide(look_.pixelHeight(), kScreenHeight);
    glGenFramebuffersEXT(1, &framebuffer_);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
    glBindTexture(GL_TEXTURE_2D, screenTexture_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, screenTextureWidth_, screenTextureHeight_, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, screenTexture_, 0);
    const bool complete = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    if (!complete) {
        glDeleteFramebuffersEXT(1, &framebuffer_);
        framebuffer_ = 0;
    }
    hasFramebuffer_.store(framebuffer_ != 0);
}

void ManagerRenderer::release()
{
    if (!scene_.bridge()) return;
    // Without its window the context stays current from the last frame; binding it again
    // would only ask about the window that is gone.
    if (!windowLost_) scene_.bridge()->makeWindowContextCurrent();
    if (glReady_) {
        for (auto& texture : scene_.textures()) texture->release();
        for (Font* font : {scene_.mainFont(), scene_.labelFont(), scene_.textFieldFont()}) {
            if (font) font->releaseGL();
        }
        for (auto& font : scene_.extraFonts()) font->releaseGL();
        for (auto& effect : scene_.effects()) effect->releaseGL();
        scene_.shutDownRendering();
        if (screenTexture_) glDeleteTextures(1, &screenTexture_);
        if (framebuffer_) glDeleteFramebuffersEXT(1, &framebuffer_);
    }
    screenTexture_ = framebuffer_ = 0;
    hasFramebuffer_.store(false);
    glReady_ = false;
    scene_.bridge()->destroyContexts();
}

// ---- one frame ---------------------------------------------------------------------

void ManagerRenderer::renderFrame()
{
    if (!glReady_) return;
    scene_.bridge()->makeWindowContextCurrent();
    glViewport(0, 0, look_.pixelWidth(), look_.pixelHeight());
    glLineWidth(look_.scale);
    glDepthMask(GL_TRUE);
    glClear(GL_DEPTH_BUFFER_BIT);
    glDepthRange(0.1, 1.0);
    glEnable(GL_DEPTH_TEST);

    const float w = static_cast<float>(look_.width), h = static_cast<float>(look_.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(look_.fieldOfView, w / h, look_.eyeDistance, 100.0 * look_.eyeDistance);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(-w / 2, -h / 2, -look_.eyeDistance);

    // 3-D pass.
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);
    const float ambient[] = {0.2f, 0.2f, 0.2f, 1}, diffuse[] = {0.6f, 0.6f, 0.6f, 1};
    const float specular[] = {0.3f, 0.3f, 0.3f, 1}, position[] = {1, 1, 1, 1}, material[] = {0.7f, 0.5f, 0.5f, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 40);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, material);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    for (auto& effect : scene_.effects()) effect->draw3D();

    // The cached static layer behind everything else.
    glDepthRange(0.0, 0.1);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    if (framebuffer_) scene_.drawStaticLayer();

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glTranslatef(-1, -1, 0);
    glScalef(2 / w, 2 / h, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (!framebuffer_) drawStaticContent();
    drawOverlay();
    scene_.bridge()->swapBuffers();
}

void ManagerRenderer::drawScreenQuad() const
{
    const float s = static_cast<float>(look_.pixelWidth()) / static_cast<float>(std::max(1, screenTextureWidth_));
    const float t = static_cast<float>(look_.pixelHeight()) / static_cast<float>(std::max(1, screenTextureHeight_));
    glBegin(GL_QUADS);
    glTexCoord2f(0, t), glVertex2f(-1, -1);
    glTexCoord2f(s, t), glVertex2f(1, -1);
    glTexCoord2f(s, 0), glVertex2f(1, 1);
    glTexCoord2f(0, 0), glVertex2f(-1, 1);
    glEnd();
}

std::array<float, 2> ManagerRenderer::screenTextureExtent() const
{
    return {static_cast<float>(screenTextureWidth_) / look_.scale, static_cast<float>(screenTextureHeight_) / look_.scale};
}

void ManagerRenderer::drawStaticLayerOver(const Box& where, const Box& absolute, float minimumAlpha) const
{
    if (!framebuffer_ || screenTextureWidth_ <= 0 || screenTextureHeight_ <= 0) return;
    // The layer is stored upside down: texture row 0 is the window's top.
    const float sx = look_.scale / static_cast<float>(screenTextureWidth_);
    const float ty = look_.scale / static_cast<float>(screenTextureHeight_);
    const float top = static_cast<float>(look_.height);
    const float s0 = absolute.minX * sx, s1 = absolute.maxX * sx;
    const float t0 = (top - absolute.minY) * ty, t1 = (top - absolute.maxY) * ty;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, screenTexture_);
    glAlphaFunc(GL_GEQUAL, minimumAlpha);
    glEnable(GL_ALPHA_TEST);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(s0, t0), glVertex2f(where.minX, where.minY);
    glTexCoord2f(s1, t0), glVertex2f(where.maxX, where.minY);
    glTexCoord2f(s1, t1), glVertex2f(where.maxX, where.maxY);
    glTexCoord2f(s0, t1), glVertex2f(where.minX, where.maxY);
    glEnd();
    glDisable(GL_ALPHA_TEST);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
}

void ManagerRenderer::drawStaticLayerTexture() const
{
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, screenTexture_);
    glColor4f(1, 1, 1, 1);
    drawScreenQuad();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
}

void ManagerRenderer::setUpLights()
{
    const float ambient[] = {0.2f, 0.2f, 0.2f, 1}, diffuse0[] = {0.8f, 0.8f, 0.8f, 1};
    const float specular0[] = {0.2f, 0.2f, 0.2f, 1}, direction0[] = {0.6f, 0.6f, 0.5f, 0};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse0);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular0);
    glLightfv(GL_LIGHT0, GL_POSITION, direction0);

    // Light 1 glides a tenth of the way towards the hovered element every frame.
    if (UIElement* hovered = scene_.hoveredElement()) lightTarget_ = hovered->absoluteBounds().centre();
    smoothedLight_[0] = 0.1f * lightTarget_.x + 0.9f * smoothedLight_[0];
    smoothedLight_[1] = 0.1f * lightTarget_.y + 0.9f * smoothedLight_[1];
    const float diffuse1[] = {0.9f, 0.9f, 0.9f, 1}, specular1[] = {0.5f, 0.5f, 0.7f, 1};
    const float position1[] = {smoothedLight_[0], smoothedLight_[1], 50, 1};
    glEnable(GL_LIGHT1);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse1);
    glLightfv(GL_LIGHT1, GL_SPECULAR, specular1);
    glLightfv(GL_LIGHT1, GL_POSITION, position1);
    const float material[] = {0.5f, 0.5f, 0.5f, 1};
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 40);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, material);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
}

void ManagerRenderer::drawOverlay()
{
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    setUpLights();
    std::string tooltipText;
    if (scene_.mainFont()) drawBanner(tooltipText);
    scene_.root().draw();
    glDepthMask(GL_FALSE);
    for (auto& effect : scene_.effects()) effect->drawOverlay();
    scene_.root().drawTop();
    if (scene_.mainFont()) drawTooltip(tooltipText);
    if (UIElement* panel = scene_.modal()) panel->drawTop();
}

// ---- banner and tooltip ------------------------------------------------------------

void ManagerRenderer::drawBanner(std::string& tooltipText)
{
    Font& font = *scene_.mainFont();
    const float textX = look_.versionBanner ? static_cast<float>(look_.width) / 2 + 15 : 25;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4fv(look_.bannerColour.data());
    drawQuad(20, look_.bannerY, static_cast<float>(look_.width) - 20, look_.bannerY + font.lineHeight());
    glDisable(GL_BLEND);
    const float baseline = look_.bannerY - font.descender();
    glColor4fv(scene_.bannerTextColour());
    const int edited = scene_.parameters().editedParameter();
    const int id = edited >= 0 ? edited : scene_.hoveredId();
    if (id >= 0) {
        drawParameterReadout(font, id, textX, baseline, tooltipText);
    } else if (id < -1) {
        if (id != cachedHoverId_) {
            const std::string* text = scene_.hoverTexts().find(id);
            cachedHoverText_ = text ? *text : std::string();
            cachedHoverId_ = id;
        }
        if (!cachedHoverText_.empty()) {
            font.drawText(cachedHoverText_, textX + 100, baseline);
            appendToTooltip(tooltipText, cachedHoverText_);
        }
    }
}

float ManagerRenderer::drawParameterReadout(Font& font, int index, float x, float y, std::string& tooltip)
{
    const ParameterReadout text = scene_.readout(index);
    x += 150;
    font.drawText(text.name, x - 10 - font.measureText(text.name), y);
    const std::string value = text.valueWithLabel();
    font.drawText(value, x, y);
    // The info starts at a column, pushed on by a long value but never touching it.
    x += std::max(40.0f, font.measureText(value + "  "));
    scene_.appendParameterInfo(font, text, x, y);
    if (scene_.floatingTooltip()) appendToTooltip(tooltip, text.line());
    return x;
}

void ManagerRenderer::drawTooltip(const std::string& tooltipText)
{
    if (!scene_.floatingTooltip()) return;
    Font& font = *scene_.mainFont();
    UIElement* element = scene_.tooltipElement();
    if (element && !tooltipText.empty()) {
        tooltip_.alpha = 0.84f * tooltip_.alpha + 0.16f;
        tooltip_.text = tooltipText;
        const Box box = element->absoluteBounds();
        tooltip_.width = font.measureText(tooltip_.text);
        tooltip_.x = box.centre().x - tooltip_.width / 2;
        if (tooltip_.x < 5) tooltip_.x = 5;
        if (tooltip_.x > static_cast<float>(look_.width) - 5 - tooltip_.width) {
            tooltip_.x = static_cast<float>(look_.width) - 5 - tooltip_.width;
        }
        tooltip_.y = box.centre().y;
        tooltip_.height = font.lineHeight();
    } else {
        tooltip_.alpha *= 0.89f;
        if (tooltip_.alpha < 1.0f / 255.0f) tooltip_.alpha = 0;
    }
    if (tooltip_.alpha <= 0) return;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    tooltipFrameColour[3] = tooltip_.alpha * 0.5f;
    glColor4fv(tooltipFrameColour);
    drawQuad(tooltip_.x - 5, tooltip_.y, tooltip_.x + tooltip_.width + 5, tooltip_.y + tooltip_.height);
    glDisable(GL_BLEND);
    glColor4f(0.8f, 0.8f, 0.8f, tooltip_.alpha * 0.9f);
    font.drawText(tooltip_.text, tooltip_.x, tooltip_.y - font.descender());
}

// ---- static layer ------------------------------------------------------------------

void ManagerRenderer::renderStaticLayer()
{
    if (!framebuffer_ || !windowStillThere()) return;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
    glDrawBuffer(GL_COLOR_ATTACHMENT0_EXT);
    glViewport(0, 0, look_.pixelWidth(), look_.pixelHeight());
    glLineWidth(look_.scale);
    glClearColor(look_.backgroundColour[0], look_.backgroundColour[1], look_.backgroundColour[2], 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    // Stored upside down, so that texture row 0 holds the top of the window.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScalef(1, -1, 1);
    glTranslatef(-1, -1, 0);
    glScalef(2.0f / static_cast<float>(look_.width), 2.0f / static_cast<float>(look_.height), 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    drawStaticContent();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDrawBuffer(GL_BACK);
}

void ManagerRenderer::drawStaticContent()
{
    if (!framebuffer_) {
        // Drawn straight into the frame: clear to the background first.
        glClearColor(look_.backgroundColour[0], look_.backgroundColour[1], look_.backgroundColour[2], 0);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    scene_.drawBackground();
    if (!scene_.labelFont()) return;
    for (auto& element : scene_.elements()) {
        if (element->isVisible()) element->drawStatic(*scene_.labelFont());
    }
}

}  // namespace QN
