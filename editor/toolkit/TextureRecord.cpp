#include "editor/toolkit/TextureRecord.h"

#include "editor/toolkit/GlHeaders.h"
#include "editor/toolkit/PngImage.h"
#include "platform/FileSystem.h"
#include "platform/MessageOutput.h"
#include "platform/Resources.h"

#include <optional>
#include <string>

namespace QN {
namespace {

// A skin image file may hold a little more than the largest image's raw pixels.
constexpr std::size_t kMaxImageFileBytes = std::size_t(PngImage::kMaxSide) * PngImage::kMaxSide * 4 + (1u << 20);

void reportRefusedImage(const std::string& path, const std::string& reason)
{
    platform::showError("skin image " + path + " is not used: " + reason);
}

std::optional<PngImage> decodeSource(const std::string& path, int resourceId)
{
    std::string refusal;
    if (!path.empty()) {
        const platform::FileRead file = platform::readRegularFile(path, kMaxImageFileBytes);
        if (file.status == platform::FileReadStatus::Missing || file.status == platform::FileReadStatus::Unreadable) {
            return std::nullopt;  // a missing image leaves its texture empty, as it always did
        }
        if (file.status != platform::FileReadStatus::Read) {
            reportRefusedImage(path, platform::describe(file.status));
            return std::nullopt;
        }
        auto image = PngImage::decodeTexture(reinterpret_cast<const std::uint8_t*>(file.text.data()),
                                             file.text.size(), &refusal);
        if (!refusal.empty()) reportRefusedImage(path, refusal);
        return image;
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
    std::optional<PngImage> image;
    try {
        image = decodeSource(path_, resourceId_);
    } catch (...) {
        // Runs on the render thread, where nothing may escape: the texture stays empty.
        return;
    }
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
