#pragma once
// A program: a name and one plain value per parameter. Its storage is exactly the state
// block that the host saves and restores.

#include <cstddef>

struct ProgramValues;

class QuanProgram {
public:
    virtual ~QuanProgram() = default;
    // Called on: any thread (host, editor, script, OSC). Values are taken over one 32-bit
    // word at a time; the audio thread may read while another thread writes.
    virtual void setParameter(int id, float plainValue) = 0;
    virtual float getParameter(int id) const = 0;
    virtual int reserved() const { return 0; }
    virtual void setName(const char* text) = 0;
    virtual const char* getName() const = 0;
    virtual void* getData() = 0;
    virtual std::size_t getSize() const = 0;
    // Takes over a state chunk: null when it was loaded, else the reason it was refused
    // (the program is then unchanged).
    virtual const char* loadFromChunk(const void* data, std::size_t size) = 0;
    // Checks that a chunk is a whole program block of this kind and decodes it, without
    // changing the program: null and `out` filled, or the reason it is refused.
    virtual const char* decodeChunk(const void* data, std::size_t size, ProgramValues& out) const = 0;
    // Stores every value and the name of `content`, one 32-bit value at a time.
    virtual void load(const ProgramValues& content) = 0;
};
