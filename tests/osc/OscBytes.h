#pragma once
// Building OSC datagrams for tests, and reading replies back as one line of text such as
// "/reply i:6 f:-180 s:View Min dB", which keeps expectations short and exact.

#include <oscpack/osc/OscOutboundPacketStream.h>
#include <oscpack/osc/OscReceivedElements.h>

#include <cstdint>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

using Bytes = std::vector<char>;

// A message built by the caller's stream operations: oscMessage("/get", [](auto& s) { s << 1; }).
template <typename Fill>
Bytes oscMessage(const char* address, Fill fill)
{
    std::vector<char> buffer(4096);
    osc::OutboundPacketStream stream(buffer.data(), buffer.size());
    stream << osc::BeginMessage(address);
    fill(stream);
    stream << osc::EndMessage;
    return Bytes(stream.Data(), stream.Data() + stream.Size());
}

inline void appendInt32(Bytes& bytes, std::int32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<char>((static_cast<std::uint32_t>(value) >> shift) & 0xFF));
    }
}

// "#bundle", a zero time tag, then each element with its size.
inline Bytes oscBundle(std::initializer_list<Bytes> elements)
{
    Bytes bytes = {'#', 'b', 'u', 'n', 'd', 'l', 'e', '\0', 0, 0, 0, 0, 0, 0, 0, 1};
    for (const Bytes& element : elements) {
        appendInt32(bytes, static_cast<std::int32_t>(element.size()));
        bytes.insert(bytes.end(), element.begin(), element.end());
    }
    return bytes;
}

// Raw bytes from a string literal with embedded NULs: raw("/a\0\0,i\0\0", 8).
inline Bytes raw(const char* text, std::size_t size) { return Bytes(text, text + size); }

inline std::string describeOsc(const Bytes& datagram)
{
    try {
        osc::ReceivedPacket packet(datagram.data(), datagram.size());
        osc::ReceivedMessage message(packet);
        std::ostringstream text;
        text << message.AddressPattern();
        for (auto it = message.ArgumentsBegin(); it != message.ArgumentsEnd(); ++it) {
            text << ' ' << it->TypeTag();
            switch (it->TypeTag()) {
            case 'i': text << ':' << it->AsInt32(); break;
            case 'f': text << ':' << it->AsFloat(); break;
            case 's': text << ':' << it->AsString(); break;
            default: break;
            }
        }
        return text.str();
    } catch (const osc::Exception& error) {
        return std::string("malformed: ") + error.what();
    }
}
