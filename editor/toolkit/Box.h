#pragma once

#include "editor/toolkit/Point.h"

#include <algorithm>

namespace QN {

// An axis-aligned box; a new box is empty (min above max) so that growing it by
// anything gives that thing's extent.
struct Box {
    float minX = 1e10f, minY = 1e10f, minZ = 1e10f;
    float maxX = -1e10f, maxY = -1e10f, maxZ = -1e10f;

    static Box of(float x0, float y0, float x1, float y1)
    {
        return Box{std::min(x0, x1), std::min(y0, y1), 0.0f, std::max(x0, x1), std::max(y0, y1), 0.0f};
    }
    [[nodiscard]] bool isEmpty() const { return minX > maxX || minY > maxY; }
    void include(const Box& other)
    {
        if (other.isEmpty()) return;
        minX = std::min(minX, other.minX), minY = std::min(minY, other.minY), minZ = std::min(minZ, other.minZ);
        maxX = std::max(maxX, other.maxX), maxY = std::max(maxY, other.maxY), maxZ = std::max(maxZ, other.maxZ);
    }
    [[nodiscard]] Box movedBy(float dx, float dy, float dz) const
    {
        if (isEmpty()) return *this;
        return Box{minX + dx, minY + dy, minZ + dz, maxX + dx, maxY + dy, maxZ + dz};
    }
    // Edges count as inside; only x and y are compared.
    [[nodiscard]] bool contains(Point p) const { return minX <= p.x && p.x <= maxX && minY <= p.y && p.y <= maxY; }
    [[nodiscard]] float width() const { return maxX - minX; }
    [[nodiscard]] float height() const { return maxY - minY; }
    [[nodiscard]] Point centre() const { return Point{(minX + maxX) / 2, (minY + maxY) / 2}; }
};

}  // namespace QN
