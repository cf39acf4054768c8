#pragma once
// A private X server for the editor tests: Xvfb with GLX on a free display number,
// Mesa's software GL. Installed as a global test environment, so every test process
// gets its own server whether or not the machine has a display.

#include <gtest/gtest.h>

#include <sys/types.h>

class XvfbDisplay : public testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

private:
    pid_t pid_ = -1;
};
