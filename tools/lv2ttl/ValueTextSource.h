#pragma once
// The plug-in's own parameter model, with no program, kernels or host, asked only what a
// value shows (its display text and the names of list rows), so that the LV2 description
// names values exactly as the plug-in does. Nothing else of it may be called: there is
// no program to read or write.

#include "engine/instance/QuanAuBase.h"

namespace lflv2ttl {

class ValueTextSource final : public QuanAuBase {
public:
    ValueTextSource() : QuanAuBase(nullptr, 0, 0) {}

    AUKernelBase* createKernel() override { return nullptr; }
    DisplayBlock* displayBlock() override { return nullptr; }
    void processReplacing(float**, float**, VstInt32) override {}
};

}  // namespace lflv2ttl
