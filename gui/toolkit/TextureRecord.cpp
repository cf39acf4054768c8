#include "gui/toolkit/TextureRecord.h"

#include "gui/toolkit/GlHeaders.h"
#include "gui/toolkit/PngImage.h"
#include "platform/MessageOutput.h"
#include "platform/Resources.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

namespace QN {
namespace {

std::optional<std::vector<std::uint8_t>> readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::optional<PngImage> decodeSource(const std::string& path, int resourceId)
{
    if (!path.empty()) {
        auto bytes = readFile(path);
        if (!bytes) return std::nullopt;
        return PngImage::decodeTexture(bytes->data(), bytes->size());
    }
    auto resource = platform::findResource(platform::kResourceTypePng, resourceId);
    if (!resource) {
        platform::showError("built-in image " + std::to_string(resourceId) + " is missing from the plug-in");
        return std::nullopt;
    }
    return PngImage::decodeTexture(resource->data, resource->size);
}

}  // namespace

void TextureRecord::load()
{
    if (attempted_) return;
    attempted_ = true;
    std::optional<PngImage> image = decodeSource(path_, resourceId_);
    if (!image) return;
    const GLenum format = image->channels == 4 ? GL_RGBA : GL_RGB;
    glGenTextures(1, &glName_);
    glBindTexture(GL_TEXTURE_2D, glName_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, image->channels, image->width, image->height, 0, format, GL_UNSIGNED_BYTE,
                 image->pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glBindTexture(GL_TEXTURE_2D, 0);
    width_ = image->width;
    height_ = image->height;
}

void TextureRecord::release()
{
    if (glName_) glDeleteTextures(1, &glName_);
    glName_ = 0;
}

}  // namespace QN
