#include "tools/render/MidiFileReader.h"

#include "tools/render/FileProblem.h"
#include "tools/render/RenderError.h"

#include <algorithm>

namespace lfrender {
namespace {

constexpr std::uint32_t kDefaultTempo = 500000;  // microseconds per quarter note: 120 bpm
constexpr int kMaxVariableLengthBytes = 4;

struct TickedMessage {
    std::uint64_t tick = 0;
    unsigned char bytes[3] = {0, 0, 0};
};

struct TempoChange {
    std::uint64_t tick = 0;
    std::uint32_t microsecondsPerQuarter = kDefaultTempo;
};

// A bounded view of the file's bytes; every read checks what is left.
class ByteCursor {
public:
    ByteCursor(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    [[nodiscard]] std::size_t left() const { return size_ - position_; }
    [[nodiscard]] std::size_t position() const { return position_; }
    [[nodiscard]] bool has(std::size_t count) const { return left() >= count; }
    std::uint8_t byte() { return data_[position_++]; }
    [[nodiscard]] std::uint8_t peek() const { return data_[position_]; }
    std::uint32_t bigEndian(int count)
    {
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i) value = (value << 8) | byte();
        return value;
    }
    ByteCursor take(std::size_t count)
    {
        ByteCursor part(data_ + position_, count);
        position_ += count;
        return part;
    }
    void skip(std::size_t count) { position_ += count; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

class Parser {
public:
    Parser(const std::vector<std::uint8_t>& bytes, std::string name) : file_(bytes.data(), bytes.size()), name_(std::move(name)) {}

    std::vector<TimedMidiMessage> run()
    {
        readHeader();
        int tracksRead = 0;
        while (file_.left() > 0 && tracksRead < declaredTracks_) {
            if (readChunk()) ++tracksRead;
        }
        if (tracksRead < declaredTracks_)
            fail("its header promises " + std::to_string(declaredTracks_) + " tracks but it holds " +
                 std::to_string(tracksRead));
        return timed();
    }

private:
    [[noreturn]] void fail(const std::string& reason) const
    {
        throw RenderError("MIDI file " + name_ + " cannot be used: " + reason);
    }

    void readHeader()
    {
        if (!file_.has(8) || file_.bigEndian(4) != 0x4d546864)  // "MThd"
            fail("it is not a standard MIDI file (it does not begin with \"MThd\")");
        const std::uint32_t length = file_.bigEndian(4);
        if (length < 6 || !file_.has(length)) fail("its header is cut short");
        ByteCursor header = file_.take(length);
        const std::uint32_t format = header.bigEndian(2);
        declaredTracks_ = static_cast<int>(header.bigEndian(2));
        const std::uint32_t division = header.bigEndian(2);
        if (format > 1) fail("it is of format " + std::to_string(format) + "; only formats 0 and 1 can be played");
        if (declaredTracks_ < 1 || declaredTracks_ > MidiFileReader::kMaxTracks)
            fail("its header gives " + std::to_string(declaredTracks_) + " tracks (1 to " +
                 std::to_string(MidiFileReader::kMaxTracks) + " are allowed)");
        if (format == 0 && declaredTracks_ != 1) fail("it is of format 0 but declares several tracks");
        setDivision(division);
    }

    void setDivision(std::uint32_t division)
    {
        if (division & 0x8000) {
            // SMPTE: frames per second (as a negative byte) times ticks per frame.
            const int framesPerSecond = 256 - static_cast<int>(division >> 8);
            const int ticksPerFrame = static_cast<int>(division & 0xff);
            if (ticksPerFrame == 0 || (framesPerSecond != 24 && framesPerSecond != 25 && framesPerSecond != 29 &&
                                       framesPerSecond != 30))
                fail("its SMPTE time division is not valid");
            const double rate = framesPerSecond == 29 ? 29.97 : framesPerSecond;
            secondsPerTick_ = 1.0 / (rate * ticksPerFrame);
        } else {
            if (division == 0) fail("its time division is zero");
            ticksPerQuarter_ = division;
        }
    }

    // True for a track chunk; other chunks are read past.
    bool readChunk()
    {
        if (!file_.has(8)) fail("it ends in the middle of a chunk header");
        const std::uint32_t type = file_.bigEndian(4);
        const std::uint32_t length = file_.bigEndian(4);
        if (!file_.has(length))
            fail("a chunk claims " + std::to_string(length) + " bytes but only " + std::to_string(file_.left()) +
                 " are left");
        ByteCursor chunk = file_.take(length);
        if (type != 0x4d54726b) return false;  // "MTrk"
        ++trackNumber_;
        readTrack(chunk);
        return true;
    }

    std::uint32_t variableLength(ByteCursor& track)
    {
        std::uint32_t value = 0;
        for (int i = 0; i < kMaxVariableLengthBytes; ++i) {
            if (!track.has(1)) failInTrack("ends in the middle of a number");
            const std::uint8_t b = track.byte();
            value = (value << 7) | (b & 0x7f);
            if (!(b & 0x80)) return value;
        }
        failInTrack("has a number longer than four bytes");
    }

    [[noreturn]] void failInTrack(const std::string& reason) const
    {
        fail("track " + std::to_string(trackNumber_) + " " + reason);
    }

    void readTrack(ByteCursor track)
    {
        std::uint64_t tick = 0;
        std::uint8_t runningStatus = 0;
        while (track.left() > 0) {
            tick += variableLength(track);
            if (!track.has(1)) failInTrack("ends after a time without an event");
            std::uint8_t status = track.peek();
            if (status & 0x80) {
                track.byte();
            } else if (runningStatus == 0) {
                failInTrack("uses running status before any status byte");
            } else {
                status = runningStatus;
            }
            if (status == 0xff) {
                if (readMeta(track, tick)) return;
            } else if (status == 0xf0 || status == 0xf7) {
                skipData(track, variableLength(track), "system-exclusive message");
                runningStatus = 0;
            } else if (status >= 0xf0) {
                failInTrack("holds a system message (" + std::to_string(status) + ") that files may not carry");
            } else {
                readChannelMessage(track, status, tick);
                runningStatus = status;
            }
        }
    }

    void skipData(ByteCursor& track, std::uint32_t length, const char* what)
    {
        if (!track.has(length))
            failInTrack(std::string("has a ") + what + " longer than the track (" + std::to_string(length) + " bytes)");
        track.skip(length);
    }

    // True at the end-of-track event.
    bool readMeta(ByteCursor& track, std::uint64_t tick)
    {
        if (!track.has(1)) failInTrack("ends in the middle of a meta event");
        const std::uint8_t type = track.byte();
        const std::uint32_t length = variableLength(track);
        if (!track.has(length)) failInTrack("has a meta event longer than the track");
        ByteCursor data = track.take(length);
        if (type == 0x2f) return true;
        if (type == 0x51) {
            if (length != 3) failInTrack("has a tempo change of " + std::to_string(length) + " bytes (3 are needed)");
            const std::uint32_t tempo = data.bigEndian(3);
            if (tempo == 0) failInTrack("sets a tempo of zero");
            tempos_.push_back(TempoChange{tick, tempo});
        }
        return false;
    }

    void readChannelMessage(ByteCursor& track, std::uint8_t status, std::uint64_t tick)
    {
        const int kind = status & 0xf0;
        const int dataBytes = (kind == 0xc0 || kind == 0xd0) ? 1 : 2;
        TickedMessage message;
        message.tick = tick;
        message.bytes[0] = status;
        for (int i = 0; i < dataBytes; ++i) {
            if (!track.has(1)) failInTrack("ends in the middle of a message");
            const std::uint8_t b = track.byte();
            if (b & 0x80) failInTrack("has a message cut short by a status byte");
            message.bytes[1 + i] = b;
        }
        if (messages_.size() >= MidiFileReader::kMaxEvents)
            fail("it holds more than " + std::to_string(MidiFileReader::kMaxEvents) + " messages");
        messages_.push_back(message);
    }

    std::vector<TimedMidiMessage> timed()
    {
        std::stable_sort(messages_.begin(), messages_.end(),
                         [](const TickedMessage& a, const TickedMessage& b) { return a.tick < b.tick; });
        std::stable_sort(tempos_.begin(), tempos_.end(),
                         [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
        std::vector<TimedMidiMessage> result;
        result.reserve(messages_.size());
        std::size_t nextTempo = 0;
        std::uint64_t tempoTick = 0;
        double tempoSeconds = 0.0;
        double secondsPerTick = tickDuration(kDefaultTempo);
        for (const TickedMessage& message : messages_) {
            while (nextTempo < tempos_.size() && tempos_[nextTempo].tick <= message.tick) {
                tempoSeconds += static_cast<double>(tempos_[nextTempo].tick - tempoTick) * secondsPerTick;
                tempoTick = tempos_[nextTempo].tick;
                secondsPerTick = tickDuration(tempos_[nextTempo].microsecondsPerQuarter);
                ++nextTempo;
            }
            TimedMidiMessage out;
            out.seconds = tempoSeconds + static_cast<double>(message.tick - tempoTick) * secondsPerTick;
            std::copy(std::begin(message.bytes), std::end(message.bytes), std::begin(out.bytes));
            result.push_back(out);
        }
        return result;
    }

    [[nodiscard]] double tickDuration(std::uint32_t microsecondsPerQuarter) const
    {
        if (ticksPerQuarter_ == 0) return secondsPerTick_;  // SMPTE time ignores tempo
        return static_cast<double>(microsecondsPerQuarter) / 1e6 / ticksPerQuarter_;
    }

    ByteCursor file_;
    std::string name_;
    int declaredTracks_ = 0;
    int trackNumber_ = 0;
    std::uint32_t ticksPerQuarter_ = 0;
    double secondsPerTick_ = 0.0;
    std::vector<TickedMessage> messages_;
    std::vector<TempoChange> tempos_;
};

}  // namespace

std::vector<TimedMidiMessage> MidiFileReader::parse(const std::vector<std::uint8_t>& bytes,
                                                    const std::string& displayName)
{
    return Parser(bytes, displayName).run();
}

std::vector<TimedMidiMessage> MidiFileReader::read(const std::string& path)
{
    return parse(readInputFile(path, "MIDI file", kMaxFileBytes), path);
}

}  // namespace lfrender
