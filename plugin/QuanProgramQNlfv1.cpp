#include "plugin/QuanProgramQNlfv1.h"

#include "plugin/ParameterTable.h"

#include <atomic>
#include <bit>
#include <cstdio>
#include <cstring>

namespace {

std::uint32_t byteSwap(std::uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0x0000ff00u) | ((v << 8) & 0x00ff0000u) | (v << 24);
}

std::uint32_t wordAt(const unsigned char* bytes, std::size_t offset)
{
    std::uint32_t v;
    std::memcpy(&v, bytes + offset, 4);
    return v;
}

void putWord(unsigned char* bytes, std::size_t offset, std::uint32_t v)
{
    std::memcpy(bytes + offset, &v, 4);
}

}  // namespace

QuanProgramQNlfv1::QuanProgramQNlfv1()
{
    std::memset(words_, 0, sizeof(words_));
    writeHeader();
    for (int id = 0; id < kParameterCount; ++id) {
        setParameter(id, parameterInfo(id).defaultValue);
    }
}

void QuanProgramQNlfv1::writeHeader()
{
    auto* bytes = reinterpret_cast<unsigned char*>(words_);
    putWord(bytes, 0, kFirstTag);
    putWord(bytes, 4, kSecondTag);
    putWord(bytes, 8, kVersion);
    bytes[kNameOffset + kNameSize - 1] = 0;
}

void QuanProgramQNlfv1::setParameter(int id, float plainValue)
{
    if (!isValidParameterId(id)) {
        return;
    }
    std::atomic_ref<float>(words_[kValuesOffset / 4 + id]).store(plainValue, std::memory_order_relaxed);
    if (id >= kBinLevelBase) {
        levelsGeneration_.fetch_add(1, std::memory_order_release);
    }
}

float QuanProgramQNlfv1::getParameter(int id) const
{
    if (!isValidParameterId(id)) {
        return 0.0f;
    }
    auto& word = const_cast<float&>(words_[kValuesOffset / 4 + id]);
    return std::atomic_ref<float>(word).load(std::memory_order_relaxed);
}

void QuanProgramQNlfv1::setName(const char* text)
{
    char* name = reinterpret_cast<char*>(words_) + kNameOffset;
    std::strncpy(name, text ? text : "", kNameSize);
    name[kNameSize - 1] = '\0';
}

const char* QuanProgramQNlfv1::getName() const
{
    return reinterpret_cast<const char*>(words_) + kNameOffset;
}

void* QuanProgramQNlfv1::getData() { return words_; }

std::size_t QuanProgramQNlfv1::getSize() const { return kBlockSize; }

const float* QuanProgramQNlfv1::binLevels() const
{
    return words_ + kValuesOffset / 4 + kBinLevelBase;
}

void QuanProgramQNlfv1::loadFromChunk(const void* data, std::size_t size)
{
    // Merge into a copy first so the audio thread only ever sees whole 32-bit values.
    alignas(16) unsigned char merged[kBlockSize];
    for (std::size_t w = 0; w < kWordCount; ++w) {
        const float value = std::atomic_ref<float>(words_[w]).load(std::memory_order_relaxed);
        std::memcpy(merged + 4 * w, &value, 4);
    }
    const std::size_t given = (data == nullptr) ? 0 : (size < kBlockSize ? size : kBlockSize);
    if (given > 0) {
        std::memcpy(merged, data, given);
    }

    if (wordAt(merged, 0) == byteSwap(kFirstTag) && wordAt(merged, 4) == byteSwap(kSecondTag)) {
        std::fputs("QNlf vst byte swapping chunk\n", stdout);
        std::fflush(stdout);
        // Only the words the chunk supplied are in the other byte order; the rest are
        // this machine's own values and must stay as they are.
        for (std::size_t offset = 0; offset + 4 <= given; offset += 4) {
            if (offset <= 8 || offset >= kValuesOffset) {
                putWord(merged, offset, byteSwap(wordAt(merged, offset)));
            }
        }
    }

    for (std::size_t w = 0; w < kWordCount; ++w) {
        float value;
        std::memcpy(&value, merged + 4 * w, 4);
        std::atomic_ref<float>(words_[w]).store(value, std::memory_order_relaxed);
    }
    levelsGeneration_.fetch_add(1, std::memory_order_release);
    writeHeader();
}
