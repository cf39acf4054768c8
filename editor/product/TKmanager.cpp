#include "editor/product/TKmanager.h"

#include "editor/product/BinReadout.h"
#include "editor/toolkit/GlHeaders.h"
#include "editor/toolkit/PluginConnection.h"
#include "editor/toolkit/TextureRecord.h"
#include "engine/model/DisplayBlock.h"
#include "engine/model/ParameterTable.h"

namespace {

// Lights the background tile (alpha 0 in the static layer) with light 1 through the
// tile's normal map; labels and boxes (alpha 0.16 and above) stay unlit.
const char* const kBackgroundShader = R"(
uniform sampler2D tex;
uniform sampler2D normalMap;
uniform float viewportH;
uniform vec2 screenExtent;
void main() {
    vec2 st = gl_TexCoord[0].st;
    vec4 diffuse = texture2D(tex, st);
    vec2 layoutPixel = screenExtent * st;
    vec3 n = texture2D(normalMap, layoutPixel / 64.0).xyz * 2.0 - 1.0;
    vec3 pos = vec3(layoutPixel.x, viewportH - layoutPixel.y, 0.0);
    vec3 lightVec = gl_LightSource[1].position.xyz - pos;
    vec3 l = normalize(lightVec);
    float d = 300.0 * max(0.0, dot(n, l)) / (300.0 + length(lightVec)) + 0.6;
    float label = min(1.0, diffuse.a / 0.16);
    d = d * (1.0 - label) + label;
    float s = pow(0.5 * max(0.0, dot(n, normalize(l + vec3(0.0, 0.0, 1.0)))), 30.0) * (1.0 - label);
    gl_FragColor = vec4(diffuse.rgb * d + vec3(0.8, 0.2, 0.2) * s, diffuse.a);
}
)";

void setRepeat(unsigned texture)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
}

}  // namespace

class TKmanager::TKRenderingShutdowner : public QN::Manager::RenderingShutdowner {
public:
    explicit TKRenderingShutdowner(QN::ShaderProgram& program) : program_(program) {}
    void shutdown() override { program_.release(); }

private:
    QN::ShaderProgram& program_;
};

TKmanager::TKmanager(QN::PluginConnection& plugin, QN::PendingParameterChanges& pending)
    : Manager(plugin, pending), display_(plugin.displayBlock())
{
    if (display_ != nullptr) display_->viewers.fetch_add(1, std::memory_order_relaxed);
}

// The render thread calls this class's drawing until it stops.
TKmanager::~TKmanager()
{
    stopRendering();
    if (display_ != nullptr) display_->viewers.fetch_sub(1, std::memory_order_relaxed);
}

void TKmanager::setBackgroundTextures(QN::TextureRecord* tile, QN::TextureRecord* normalMap)
{
    background_ = tile;
    normalMap_ = normalMap;
    if (background_) background_->setLoadsOnDemand(true);
}

// The mix levels need no note: their value already reads in dB with its label.
std::string TKmanager::parameterInfoText(int index)
{
    const int fftSize = fftSizeFromIndex(fftSizeIndexFromValue(plugin().plainValue(ParameterId::FftSize)));
    return binReadout(index, plugin().sampleRate(), fftSize);
}

void TKmanager::initialiseGL()
{
    if (program_.build(nullptr, kBackgroundShader)) {
        texLocation_ = program_.uniform("tex");
        normalMapLocation_ = program_.uniform("normalMap");
        viewportHLocation_ = program_.uniform("viewportH");
        screenExtentLocation_ = program_.uniform("screenExtent");
    }
    if (normalMap_ && normalMap_->glName()) setRepeat(normalMap_->glName());
    glBindTexture(GL_TEXTURE_2D, 0);
}

std::unique_ptr<QN::Manager::RenderingShutdowner> TKmanager::createRenderingShutdowner()
{
    return std::make_unique<TKRenderingShutdowner>(program_);
}

void TKmanager::drawStaticLayer()
{
    if (!program_.isValid() || !eyeCandy()) {
        Manager::drawStaticLayer();
        return;
    }
    program_.use();
    glEnable(GL_TEXTURE_2D);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glBindTexture(GL_TEXTURE_2D, screenTexture());
    glUniform1iARB(texLocation_, 0);
    if (normalMap_ && normalMap_->glName()) {
        glActiveTextureARB(GL_TEXTURE1_ARB);
        glBindTexture(GL_TEXTURE_2D, normalMap_->glName());
        glUniform1iARB(normalMapLocation_, 1);
    }
    glUniform1fARB(viewportHLocation_, static_cast<float>(height()));
    const auto extent = screenTextureExtent();
    glUniform2fARB(screenExtentLocation_, extent[0], extent[1]);
    glColor4f(1, 1, 1, 1);
    drawScreenQuad();
    glActiveTextureARB(GL_TEXTURE1_ARB);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
    QN::ShaderProgram::useNone();
}

void TKmanager::drawBackground()
{
    const float w = static_cast<float>(width()), h = static_cast<float>(height());
    const float top = bannerY() - 7;
    if (background_) {
        background_->load();
        if (background_->glName()) {
            const float tw = static_cast<float>(background_->width()), th = static_cast<float>(background_->height());
            setRepeat(background_->glName());
            glEnable(GL_TEXTURE_2D);
            glBegin(GL_QUADS);
            glColor4f(0.85f, 0.8f, 0.8f, 0), glTexCoord2f(0, top / th), glVertex2f(0, 0);
            glTexCoord2f(w / tw, top / th), glVertex2f(w, 0);
            glColor4f(1, 1, 1, 0), glTexCoord2f(w / tw, 0), glVertex2f(w, top);
            glTexCoord2f(0, 0), glVertex2f(0, top);
            glEnd();
            glBindTexture(GL_TEXTURE_2D, 0);
            glDisable(GL_TEXTURE_2D);
        }
    }
    const auto colour = backgroundColour();
    glColor4f(colour[0], colour[1], colour[2], 0.16f);
    glBegin(GL_QUADS);
    glVertex2f(0, top), glVertex2f(w, top), glVertex2f(w, h), glVertex2f(0, h);
    glEnd();
}
