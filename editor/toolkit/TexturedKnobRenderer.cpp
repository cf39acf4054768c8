#include "editor/toolkit/TexturedKnobRenderer.h"

#include "editor/toolkit/GlHeaders.h"
#include "editor/toolkit/TextureRecord.h"

#include <cmath>

namespace QN {
namespace {

const char* const kKnobVertexShader = R"(
varying vec4 lightDir;
varying vec3 hv;
varying vec2 uv;
varying mat3 normMat;
void main() {
    gl_Position = ftransform();
    uv = gl_MultiTexCoord0.xy;
    vec3 pos = gl_Vertex.xyz;
    vec3 n = gl_Normal;
    normMat = mat3(vec3(n.x, n.y, 0.0), vec3(-n.y, n.x, 0.0), vec3(0.0, 0.0, 1.0));
    vec3 lightVec = gl_LightSource[1].position.xyz - pos;
    lightDir = vec4(normalize(lightVec), length(lightVec));
    hv = normalize(lightDir.xyz + vec3(0.0, 0.0, 1.0));
}
)";

const char* const kKnobFragmentShader = R"(
uniform sampler2D tex;
uniform sampler2D normalMap;
varying vec4 lightDir;
varying vec3 hv;
varying vec2 uv;
varying mat3 normMat;
void main() {
    vec4 diffuse = texture2D(tex, uv);
    vec3 n = normMat * (texture2D(normalMap, uv).xyz * 2.0 - 1.0);
    float d = 300.0 * max(0.0, dot(n, lightDir.xyz)) / (300.0 + lightDir.w) + 0.4;
    float s = pow(0.5 * max(0.0, dot(n, hv)), 10.0);
    gl_FragColor = vec4(diffuse.rgb * d + vec3(0.2, 0.8, 0.2) * s, diffuse.a);
}
)";

}  // namespace

std::atomic<bool> TexturedKnobRenderer::eyeCandy_{true};

TexturedKnobRenderer::TexturedKnobRenderer(TextureRecord* image, TextureRecord* normalMap, float imageX, float imageY,
                                           float size)
    : image_(image), normalMap_(normalMap), imageX_(imageX), imageY_(imageY), size_(size)
{
}

TexturedKnobRenderer::~TexturedKnobRenderer() = default;

int TexturedKnobRenderer::addInstance()
{
    instances_.push_back(Instance{});
    vertices_.resize(instances_.size() * kFloatsPerInstance, 0.0f);
    return static_cast<int>(instances_.size()) - 1;
}

void TexturedKnobRenderer::setCentre(int instance, float x, float y, float radius)
{
    if (instance < 0 || instance >= instanceCount()) return;
    std::lock_guard<std::mutex> lock(vertexLock_);
    Instance& knob = instances_[static_cast<std::size_t>(instance)];
    knob.x = x, knob.y = y, knob.radius = radius;
    if (prepared_) writeVertices(instance);
}

void TexturedKnobRenderer::setAngle(int instance, float radians)
{
    if (instance < 0 || instance >= instanceCount()) return;
    std::lock_guard<std::mutex> lock(vertexLock_);
    instances_[static_cast<std::size_t>(instance)].angle = radians;
    if (prepared_) writeVertices(instance);
}

void TexturedKnobRenderer::setVisible(int instance, bool visible)
{
    if (instance < 0 || instance >= instanceCount()) return;
    std::lock_guard<std::mutex> lock(vertexLock_);
    instances_[static_cast<std::size_t>(instance)].visible = visible;
}

void TexturedKnobRenderer::writeVertices(int instance)
{
    const Instance& knob = instances_[static_cast<std::size_t>(instance)];
    const float s = std::sin(knob.angle);
    const float c = std::cos(knob.angle);
    float* out = vertices_.data() + instance * kFloatsPerInstance;
    for (const Corner& corner : corners_) {
        const float r = knob.radius;
        const float values[kFloatsPerVertex] = {corner.u, corner.v, s, -c, 0.0f,
                                                knob.x + corner.b * r * s + corner.a * r * c,
                                                knob.y + corner.b * r * c - corner.a * r * s, 0.0f};
        for (float value : values) *out++ = value;
    }
}

void TexturedKnobRenderer::initialiseGL()
{
    const float width = image_ && image_->width() ? static_cast<float>(image_->width()) : 1.0f;
    const float height = image_ && image_->height() ? static_cast<float>(image_->height()) : 1.0f;
    const float aSigns[4] = {1, 1, -1, -1};
    const float bSigns[4] = {1, -1, -1, 1};
    std::unique_lock<std::mutex> lock(vertexLock_);
    for (int i = 0; i < 4; ++i) {
        const float a = aSigns[i], b = bSigns[i];
        corners_[static_cast<std::size_t>(i)] = Corner{a, b, imageX_ / width + (b + 1) / 2 * size_ / width,
                                                       imageY_ / height + (a + 1) / 2 * size_ / height};
    }
    prepared_ = true;
    for (int i = 0; i < instanceCount(); ++i) writeVertices(i);
    lock.unlock();
    if (program_.build(kKnobVertexShader, kKnobFragmentShader)) {
        program_.use();
        texLocation_ = program_.uniform("tex");
        normalMapLocation_ = program_.uniform("normalMap");
        ShaderProgram::useNone();
    }
}

void TexturedKnobRenderer::bindTextures(bool lit) const
{
    if (lit) {
        program_.use();
        glUniform1iARB(texLocation_, 0);
        if (normalMap_ && normalMap_->glName()) {
            glActiveTextureARB(GL_TEXTURE1_ARB);
            glBindTexture(GL_TEXTURE_2D, normalMap_->glName());
            glUniform1iARB(normalMapLocation_, 1);
            glActiveTextureARB(GL_TEXTURE0_ARB);
        }
    }
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, image_ ? image_->glName() : 0);
}

void TexturedKnobRenderer::unbindTextures(bool lit) const
{
    if (lit) {
        glActiveTextureARB(GL_TEXTURE1_ARB);
        glBindTexture(GL_TEXTURE_2D, 0);
        glActiveTextureARB(GL_TEXTURE0_ARB);
        ShaderProgram::useNone();
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
}

void TexturedKnobRenderer::drawOverlay()
{
    if (!image_ || !image_->glName() || instances_.empty()) return;
    {
        // Copy what the GUI thread may be changing, then draw without holding the lock:
        // the GL driver takes locks of its own while it draws.
        std::lock_guard<std::mutex> lock(vertexLock_);
        drawVertices_.assign(vertices_.begin(), vertices_.end());
        drawVisible_.resize(instances_.size());
        for (std::size_t i = 0; i < instances_.size(); ++i) drawVisible_[i] = instances_[i].visible;
    }
    const bool lit = program_.isValid() && eyeCandy_.load();
    glAlphaFunc(GL_GREATER, 0.0f);
    glEnable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 1, 1, 1);
    bindTextures(lit);
    glInterleavedArrays(GL_T2F_N3F_V3F, 0, drawVertices_.data());
    // Runs of consecutive visible knobs, one draw call each.
    const int count = static_cast<int>(drawVisible_.size());
    for (int first = 0; first < count;) {
        if (!drawVisible_[static_cast<std::size_t>(first)]) {
            ++first;
            continue;
        }
        int end = first;
        while (end < count && drawVisible_[static_cast<std::size_t>(end)]) ++end;
        glDrawArrays(GL_QUADS, first * 4, (end - first) * 4);
        first = end;
    }
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    unbindTextures(lit);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
}

void TexturedKnobRenderer::releaseGL()
{
    program_.release();
    std::lock_guard<std::mutex> lock(vertexLock_);
    prepared_ = false;
}

}  // namespace QN
