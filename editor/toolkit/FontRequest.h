#pragma once

#include <string>

namespace QN {

// One candidate of a layout's font list: a font file name and a size in points.
struct FontRequest {
    std::string name;
    int size = 0;
};

}  // namespace QN
