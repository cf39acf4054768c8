// The manager's render-thread side: GL set-up and tear-down, the passes of each frame,
// the cached static layer, the banner and the floating tooltip.

#include "gui/toolkit/Effect.h"
#include "gui/toolkit/Font.h"
#include "gui/toolkit/GlHeaders.h"
#include "gui/toolkit/Group.h"
#include "gui/toolkit/Manager.h"
#include "gui/toolkit/ManagerPlatformBridge.h"
#include "gui/toolkit/TextureRecord.h"
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

void appendLimited(std::string& text, const std::string& addition)
{
    text += addition;
    if (text.size() > kTooltipCapacity) text.resize(kTooltipCapacity);
}

}  // namespace

void Manager::initialiseRendering()
{
    if (!bridge_ || !bridge_->createWindowContext()) return;
    if (glewInit() != GLEW_OK) {
        platform::showError("the editor's GL functions could not be loaded");
        return;
    }
    bridge_->contextReady();
    glDisable(GL_MULTISAMPLE);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    prepareResources();
    glGetError();
    createScreenTarget();
    glReady_ = true;
    if (labelFont_) labelFont_->cacheGlyphs();
    renderStaticLayer();
}

void Manager::prepareResources()
{
    for (auto& texture : textures_) {
        if (!texture->loadsOnDemand()) texture->load();
    }
    for (Font* font : {mainFont_.get(), textFieldFont_.get()}) {
        if (font) font->cacheGlyphs();
    }
    for (auto& font : extraFonts_) font->cacheGlyphs();
    for (auto& element : elements_) element->prepare();
    for (auto& element : elements_) element->prepareLate();
    for (auto& effect : effects_) effect->initialiseGL();
    initialiseGL();
}

void Manager::createScreenTarget()
{
    glGenTextures(1, &screenTexture_);
    if (!GLEW_EXT_framebuffer_object) return;  // the static layer is then drawn every frame
    screenTextureWidth_ = textureSide(pixelWidth(), kScreenWidth);
    screenTextureHeight_ = textureSide(pixelHeight(), kScreenHeight);
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
}

void Manager::releaseRendering()
{
    if (!bridge_) return;
    bridge_->makeWindowContextCurrent();
    if (glReady_) {
        for (auto& texture : textures_) texture->release();
        for (Font* font : {mainFont_.get(), labelFont_.get(), textFieldFont_.get()}) {
            if (font) font->releaseGL();
        }
        for (auto& font : extraFonts_) font->releaseGL();
        for (auto& effect : effects_) effect->releaseGL();
        if (shutdowner_) shutdowner_->shutdown();
        if (screenTexture_) glDeleteTextures(1, &screenTexture_);
        if (framebuffer_) glDeleteFramebuffersEXT(1, &framebuffer_);
    }
    screenTexture_ = framebuffer_ = 0;
    glReady_ = false;
    bridge_->destroyContexts();
}

// ---- one frame ---------------------------------------------------------------------

void Manager::renderFrame()
{
    if (!glReady_) return;
    bridge_->makeWindowContextCurrent();
    glViewport(0, 0, pixelWidth(), pixelHeight());
    glLineWidth(scale_);
    glDepthMask(GL_TRUE);
    glClear(GL_DEPTH_BUFFER_BIT);
    glDepthRange(0.1, 1.0);
    glEnable(GL_DEPTH_TEST);

    const float w = static_cast<float>(width_), h = static_cast<float>(height_);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fieldOfView_, w / h, eyeDistance_, 100.0 * eyeDistance_);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(-w / 2, -h / 2, -eyeDistance_);

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
    for (auto& effect : effects_) effect->draw3D();

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
    if (framebuffer_) {
        drawStaticLayer();
    }

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glTranslatef(-1, -1, 0);
    glScalef(2 / w, 2 / h, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (!framebuffer_) drawStaticContent();
    drawOverlay();
    bridge_->swapBuffers();
}

void Manager::drawScreenQuad() const
{
    const float s = static_cast<float>(pixelWidth()) / static_cast<float>(std::max(1, screenTextureWidth_));
    const float t = static_cast<float>(pixelHeight()) / static_cast<float>(std::max(1, screenTextureHeight_));
    glBegin(GL_QUADS);
    glTexCoord2f(0, t), glVertex2f(-1, -1);
    glTexCoord2f(s, t), glVertex2f(1, -1);
    glTexCoord2f(s, 0), glVertex2f(1, 1);
    glTexCoord2f(0, 0), glVertex2f(-1, 1);
    glEnd();
}

std::array<float, 2> Manager::screenTextureExtent() const
{
    return {static_cast<float>(screenTextureWidth_) / scale_, static_cast<float>(screenTextureHeight_) / scale_};
}

void Manager::drawStaticLayerOver(const Box& where, const Box& absolute, float minimumAlpha) const
{
    if (!framebuffer_ || screenTextureWidth_ <= 0 || screenTextureHeight_ <= 0) return;
    // The layer is stored upside down: texture row 0 is the window's top.
    const float sx = scale_ / static_cast<float>(screenTextureWidth_);
    const float ty = scale_ / static_cast<float>(screenTextureHeight_);
    const float top = static_cast<float>(height_);
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

void Manager::drawStaticLayer()
{
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, screenTexture_);
    glColor4f(1, 1, 1, 1);
    drawScreenQuad();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
}

void Manager::setUpLights()
{
    const float ambient[] = {0.2f, 0.2f, 0.2f, 1}, diffuse0[] = {0.8f, 0.8f, 0.8f, 1};
    const float specular0[] = {0.2f, 0.2f, 0.2f, 1}, direction0[] = {0.6f, 0.6f, 0.5f, 0};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse0);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular0);
    glLightfv(GL_LIGHT0, GL_POSITION, direction0);

    // Light 1 glides a tenth of the way towards the hovered element every frame.
    if (UIElement* hovered = hoveredElement_.load()) lightTarget_ = hovered->absoluteBounds().centre();
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

void Manager::drawOverlay()
{
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    setUpLights();
    std::string tooltipText;
    if (mainFont_) drawBanner(tooltipText);
    root_->draw();
    glDepthMask(GL_FALSE);
    for (auto& effect : effects_) effect->drawOverlay();
    root_->drawTop();
    if (mainFont_) drawTooltip(tooltipText);
    if (UIElement* panel = modal_.load()) panel->drawTop();
}

// ---- banner and tooltip ------------------------------------------------------------

void Manager::drawBanner(std::string& tooltipText)
{
    Font& font = *mainFont_;
    const float textX = versionBanner_ ? static_cast<float>(width_) / 2 + 15 : 25;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4fv(bannerColour_.data());
    drawQuad(20, bannerY_, static_cast<float>(width_) - 20, bannerY_ + font.lineHeight());
    glDisable(GL_BLEND);
    const float baseline = bannerY_ - font.descender();
    glColor4fv(bannerTextColour());
    const int edited = parameters_.editedParameter();
    const int id = edited >= 0 ? edited : hoveredId_.load();
    if (id >= 0) {
        drawParameterReadout(font, id, textX, baseline, tooltipText);
    } else if (id < -1) {
        if (id != cachedHoverId_) {
            const std::string* text = hoverTexts_.find(id);
            cachedHoverText_ = text ? *text : std::string();
            cachedHoverId_ = id;
        }
        if (!cachedHoverText_.empty()) {
            font.drawText(cachedHoverText_, textX + 100, baseline);
            appendLimited(tooltipText, cachedHoverText_);
        }
    }
}

float Manager::drawParameterReadout(Font& font, int index, float x, float y, std::string& tooltip)
{
    const ParameterReadout text = readout(index);
    x += 150;
    font.drawText(text.name, x - 10 - font.measureText(text.name), y);
    const bool floating = floatingTooltip();
    if (floating) appendLimited(tooltip, text.name);
    font.drawText(text.value, x, y);
    if (floating) appendLimited(tooltip, " " + text.value);
    x += 40;
    if (!text.label.empty()) {
        x = font.drawText(text.label, x, y) + 10;
        if (floating) appendLimited(tooltip, " " + text.label);
    }
    appendParameterInfo(font, index, x, y, tooltip);
    return x;
}

void Manager::appendParameterInfo(Font& font, int index, float x, float y, std::string& tooltip)
{
    const std::string info = parameterInfoText(index);
    if (info.empty()) return;
    font.drawText(info, x, y);
    if (floatingTooltip()) appendLimited(tooltip, " " + info);
}

void Manager::drawTooltip(const std::string& tooltipText)
{
    if (!floatingTooltip()) return;
    Font& font = *mainFont_;
    UIElement* element = tooltipElement_.load();
    if (element && !tooltipText.empty()) {
        tooltip_.alpha = 0.84f * tooltip_.alpha + 0.16f;
        tooltip_.text = tooltipText;
        const Box box = element->absoluteBounds();
        tooltip_.width = font.measureText(tooltip_.text);
        tooltip_.x = box.centre().x - tooltip_.width / 2;
        if (tooltip_.x < 5) tooltip_.x = 5;
        if (tooltip_.x > static_cast<float>(width_) - 5 - tooltip_.width) {
            tooltip_.x = static_cast<float>(width_) - 5 - tooltip_.width;
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

void Manager::renderStaticLayer()
{
    if (!glReady_ || !framebuffer_) return;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
    glDrawBuffer(GL_COLOR_ATTACHMENT0_EXT);
    glViewport(0, 0, pixelWidth(), pixelHeight());
    glLineWidth(scale_);
    glClearColor(backgroundColour_[0], backgroundColour_[1], backgroundColour_[2], 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    // Stored upside down, so that texture row 0 holds the top of the window.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScalef(1, -1, 1);
    glTranslatef(-1, -1, 0);
    glScalef(2.0f / static_cast<float>(width_), 2.0f / static_cast<float>(height_), 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    drawStaticContent();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDrawBuffer(GL_BACK);
}

void Manager::drawStaticContent()
{
    if (!framebuffer_) {
        // Drawn straight into the frame: clear to the background first.
        glClearColor(backgroundColour_[0], backgroundColour_[1], backgroundColour_[2], 0);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    drawBackground();
    if (!labelFont_) return;
    for (auto& element : elements_) {
        if (element->isVisible()) element->drawStatic(*labelFont_);
    }
}

}  // namespace QN
