#pragma once
// Status codes of the parameter and property queries.

#include <cstdint>

using OSStatus = std::int32_t;

constexpr OSStatus kNoErr = 0;
constexpr OSStatus kErrInvalidParameter = -10878;
constexpr OSStatus kErrInvalidProperty = -10879;

constexpr std::uint32_t kPropertyParameterStringFromValue = 33;
constexpr std::uint32_t kPropertyInstanceInterface = 64001;

constexpr std::uint32_t kScopeGlobal = 0;
