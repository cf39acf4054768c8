#pragma once
// Status codes of the parameter value-string query.

#include <cstdint>

using OSStatus = std::int32_t;

constexpr OSStatus kNoErr = 0;
constexpr OSStatus kErrInvalidParameter = -10878;

constexpr std::uint32_t kScopeGlobal = 0;
