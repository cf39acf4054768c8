#pragma once

#include "editor/toolkit/Effect.h"

#include <atomic>
#include <string>
#include <vector>

namespace QN {

class Manager;

// Strings that never change, drawn with the manager's main font from one vertex array
// and one texture bind per frame.
class StaticText : public Effect {
public:
    explicit StaticText(Manager& manager) : manager_(manager) {}

    // colour points at four floats (RGBA) the owner may change to fade the text; it
    // must outlive the manager's rendering. Returns the entry's number.
    // Called on: host GUI thread, or render thread at prepare.
    int add(const std::string& text, float x, float y, const float* colour);
    void setVisible(int entry, bool visible);

    void initialiseGL() override { build(); }
    void drawOverlay() override;

private:
    struct Entry {
        std::string text;
        float x, y;
        const float* colour;
        int firstVertex = 0;
        int vertexCount = 0;
        bool visible = true;
    };
    void build();

    Manager& manager_;
    std::vector<Entry> entries_;
    std::vector<float> vertices_;
    std::atomic<bool> dirty_{true};
};

}  // namespace QN
