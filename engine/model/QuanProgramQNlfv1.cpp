#include "engine/model/QuanProgramQNlfv1.h"

#include "engine/model/ParameterTable.h"
#include "engine/model/ProgramValues.h"

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

const char* QuanProgramQNlfv1::loadFromChunk(const void* data, std::size_t size)
{
    ProgramValues content;
    if (const char* refused = decodeChunk(data, size, content)) {
        return refused;
    }
    load(content);
    return nullptr;
}

const char* QuanProgramQNlfv1::decodeChunk(const void* data, std::size_t size, ProgramValues& out) const
{
    if (data == nullptr || size < kBlockSize) {
        return "it is shorter than a whole state";
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    const bool native = wordAt(bytes, 0) == kFirstTag && wordAt(bytes, 4) == kSecondTag;
    const bool swapped = wordAt(bytes, 0) == byteSwap(kFirstTag) && wordAt(bytes, 4) == byteSwap(kSecondTag);
    if (!native && !swapped) {
        return "it is not a Lumenfold state";
    }
    auto word = [&](std::size_t offset) { return swapped ? byteSwap(wordAt(bytes, offset)) : wordAt(bytes, offset); };
    if (word(8) != kVersion) {
        return "it was written in a format version this one does not read";
    }
    if (swapped) {
        std::fputs("QNlf vst byte swapping chunk\n", stdout);
        std::fflush(stdout);
    }
    for (int id = 0; id < kParameterCount; ++id) {
        out.values[static_cast<std::size_t>(id)] = std::bit_cast<float>(word(kValuesOffset + 4 * static_cast<std::size_t>(id)));
    }
    std::memcpy(out.name.data(), bytes + kNameOffset, kNameSize);
    out.name[kNameSize - 1] = '\0';
    return nullptr;
}

void QuanProgramQNlfv1::load(const ProgramValues& content)
{
    for (int id = 0; id < kParameterCount; ++id) {
        std::atomic_ref<float>(words_[kValuesOffset / 4 + id]).store(content.values[static_cast<std::size_t>(id)],
                                                                       std::memory_order_relaxed);
    }
    levelsGeneration_.fetch_add(1, std::memory_order_release);
    setName(content.name.data());
    auto* bytes = reinterpret_cast<unsigned char*>(words_);
    std::memset(bytes + kNameOffset + kNameSize, 0, kValuesOffset - kNameOffset - kNameSize);
    writeHeader();
}
