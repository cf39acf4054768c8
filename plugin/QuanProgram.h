#pragma once
// A program: a name and one plain value per parameter. Its storage is exactly the state
// block that the host saves and restores.

#include <cstddef>

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
    virtual void loadFromChunk(const void* data, std::size_t size) = 0;
};
