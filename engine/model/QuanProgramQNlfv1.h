#pragma once
// The one program format of the plug-in: an 8500-byte block, 16-byte aligned, in the
// byte order of the machine that wrote it.
//
//   offset  size  field
//        0     4  tag 'quan' (first character in the most significant byte)
//        4     4  tag 'QNlf'
//        8     4  format version 0x00010002
//       12    32  program name, zero-terminated, at most 31 characters
//       44   132  reserved, written as zeros, ignored on reading
//      176  8324  the 2081 parameter values in id order, 32-bit floats in plain units
//
// Bin levels (ids 32..2080) sit at offsets 304..8499, a 16-byte aligned float array
// that the kernels read directly.

#include "engine/model/QuanProgram.h"

#include <atomic>
#include <cstdint>

class QuanProgramQNlfv1 final : public QuanProgram {
public:
    static constexpr std::size_t kBlockSize = 8500;
    static constexpr std::size_t kNameOffset = 12;
    static constexpr std::size_t kNameSize = 32;
    static constexpr std::size_t kValuesOffset = 176;
    static constexpr std::uint32_t kFirstTag = 0x7175616e;   // 'quan'
    static constexpr std::uint32_t kSecondTag = 0x514e6c66;  // 'QNlf'
    static constexpr std::uint32_t kVersion = 0x00010002;

    // Native tags and version, an empty name, every value at its table default.
    QuanProgramQNlfv1();

    void setParameter(int id, float plainValue) override;
    float getParameter(int id) const override;
    void setName(const char* text) override;
    const char* getName() const override;
    void* getData() override;
    std::size_t getSize() const override;
    // A chunk is taken only when it holds a whole block (bytes past 8500 are ignored)
    // with our tags and version, in either byte order; a block written in the other byte
    // order is swapped with one line on standard output. Never reads past size.
    const char* loadFromChunk(const void* data, std::size_t size) override;
    const char* decodeChunk(const void* data, std::size_t size, ProgramValues& out) const override;
    // The reserved area is written as zeros.
    void load(const ProgramValues& content) override;

    // The 2049 bin levels, read live by the kernels on the audio thread.
    const float* binLevels() const;
    // Moves (release) after every write of a bin level, so readers can keep a copy.
    const std::atomic<std::uint32_t>& levelsGeneration() const { return levelsGeneration_; }

private:
    static constexpr std::size_t kWordCount = kBlockSize / 4;
    void writeHeader();

    alignas(16) float words_[kWordCount];
    std::atomic<std::uint32_t> levelsGeneration_{0};
};
