#pragma once

#include "engine/vst/AEffEditor.h"

// The product's editor base: the plug-in object it belongs to, for the editor's whole
// life (it outlives every opening of the window).
class QuanEditor : public AEffEditor {
public:
    explicit QuanEditor(AudioEffect* effect) : AEffEditor(effect) {}
    [[nodiscard]] AudioEffect* getEffect() const { return effect_; }
    virtual bool onWheel(float) { return false; }
};
