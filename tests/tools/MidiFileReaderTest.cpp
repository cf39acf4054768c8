// Standard MIDI files read into timed messages, and broken files refused in one line.

#include "tests/tools/MidiFileBytes.h"
#include "tools/render/MidiFileReader.h"
#include "tools/render/RenderError.h"

#include <gtest/gtest.h>

using lfrender::MidiFileReader;
using lfrender::RenderError;
using lfrender::TimedMidiMessage;

namespace {

std::string describe(const std::vector<TimedMidiMessage>& messages)
{
    std::string text;
    char line[64];
    for (const TimedMidiMessage& m : messages) {
        std::snprintf(line, sizeof line, "%.6f %02x %02x %02x\n", m.seconds, m.bytes[0], m.bytes[1], m.bytes[2]);
        text += line;
    }
    return text;
}

TEST(MidiFile, FormatOneMergesTracksWithRunningStatusAndTempoChanges)
{
    // 96 ticks a quarter; tempo 120 bpm, then 60 bpm from tick 96 (set in track 1).
    const MidiBytes file = midiFile({
        midiHeader(1, 2, 96),
        midiTrack({0x00, 0xff, 0x51, 0x03, 0x07, 0xa1, 0x20,   // 500000 us
                   0x60, 0xff, 0x51, 0x03, 0x0f, 0x42, 0x40,   // 1000000 us at tick 96
                   0x00, 0xff, 0x2f, 0x00}),
        midiTrack({0x00, 0x90, 60, 100,                        // note on at 0
                   0x30, 60, 0,                                // running status: at tick 48
                   0x30, 0xb2, 2, 127,                         // CC 2 at tick 96
                   0x60, 0xc0, 5,                              // program change at tick 192
                   0x00, 0xe0, 0x00, 0x40,                     // pitch bend centre
                   0x00, 0xf0, 0x02, 0x7e, 0xf7,               // sysex: skipped
                   0x00, 0xff, 0x2f, 0x00}),
    });
    EXPECT_EQ(describe(MidiFileReader::parse(file, "x.mid")),
              "0.000000 90 3c 64\n"
              "0.250000 90 3c 00\n"
              "0.500000 b2 02 7f\n"
              "1.500000 c0 05 00\n"
              "1.500000 e0 00 40\n");
}

TEST(MidiFile, SmpteDivisionCountsTicksPerFrame)
{
    // 25 frames a second, 40 ticks a frame: 1000 ticks a second.
    const MidiBytes file = midiFile({midiHeader(0, 1, (0xe7 << 8) | 40),
                                     midiTrack({0x87, 0x68, 0x90, 64, 1, 0x00, 0xff, 0x2f, 0x00})});
    EXPECT_EQ(describe(MidiFileReader::parse(file, "x.mid")), "1.000000 90 40 01\n");
}

TEST(MidiFile, BrokenFilesAreRefusedWithTheFileAndTheFault)
{
    const struct {
        MidiBytes bytes;
        const char* reason;
    } cases[] = {
        {{'R', 'I', 'F', 'F', 0, 0, 0, 0}, "not a standard MIDI file"},
        {{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0}, "header is cut short"},
        {midiFile({midiHeader(2, 1, 96), midiTrack({0x00, 0xff, 0x2f, 0x00})}), "format 2"},
        {midiFile({midiHeader(0, 1, 0), midiTrack({0x00, 0xff, 0x2f, 0x00})}), "time division is zero"},
        {midiFile({midiHeader(1, 2, 96), midiTrack({0x00, 0xff, 0x2f, 0x00})}), "promises 2 tracks but it holds 1"},
        {midiFile({midiHeader(0, 1, 96), {'M', 'T', 'r', 'k', 0, 0, 1, 0, 0x00}}), "claims 256 bytes"},
        {midiFile({midiHeader(0, 1, 96), midiTrack({0x00, 60, 100})}), "running status before any status"},
        {midiFile({midiHeader(0, 1, 96), midiTrack({0x00, 0x90, 60})}), "ends in the middle of a message"},
        {midiFile({midiHeader(0, 1, 96), midiTrack({0x00, 0x90, 60, 0x80})}), "cut short by a status byte"},
        {midiFile({midiHeader(0, 1, 96), midiTrack({0x00, 0xff, 0x01, 0x10, 'a'})}), "meta event longer than the track"},
        {midiFile({midiHeader(0, 1, 96), midiTrack({0x00, 0xf0, 0x7f, 0x01})}), "system-exclusive message longer"},
        {midiFile({midiHeader(0, 1, 96), midiTrack({0xff, 0xff, 0xff, 0xff, 0x7f})}), "longer than four bytes"},
        {midiFile({midiHeader(0, 1, 96), midiTrack({0x00, 0xff, 0x51, 0x02, 0x01, 0x02})}), "tempo change of 2 bytes"},
        {midiFile({midiHeader(0, 1, 96), midiTrack({0x00, 0xff, 0x51, 0x03, 0, 0, 0})}), "tempo of zero"},
        {midiFile({midiHeader(0, 1, 96), midiTrack({0x00, 0xf8})}), "system message"},
    };
    for (const auto& c : cases) {
        try {
            (void)MidiFileReader::parse(c.bytes, "song.mid");
            ADD_FAILURE() << "accepted: " << c.reason;
        } catch (const RenderError& error) {
            const std::string text = error.what();
            EXPECT_NE(text.find("song.mid"), std::string::npos) << text;
            EXPECT_NE(text.find(c.reason), std::string::npos) << text;
            EXPECT_EQ(text.find('\n'), std::string::npos) << text;
        }
    }
}

}  // namespace
