#pragma once

#include <cstddef>
#include <optional>

namespace platform {

// Resource types of the library.
constexpr int kResourceTypeScript = 256;
constexpr int kResourceTypePng = 257;
constexpr int kResourceTypeFont = 258;

// The font the editor draws with when no font of a layout's list can be found or
// loaded (DejaVu Sans, a TrueType file).
constexpr int kBuiltInFontId = 140;

// Bytes of a resource embedded at build time. The bytes stay valid for the life
// of the process and are followed by one zero byte that size does not count, so
// a text resource can also be read as a C string.
struct ResourceData {
    const unsigned char* data;
    std::size_t size;
};

// The resource registered under (type, id), or nothing.
//
// Defined by the library that lumenfold_embed_resources() generates for the
// product (see platform/CMakeLists.txt), not by lumenfold_platform, so a
// product that looks up resources must link its resource library.
// Called on: any thread.
std::optional<ResourceData> findResource(int type, int id);

}  // namespace platform
