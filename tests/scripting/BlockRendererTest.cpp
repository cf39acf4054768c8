#include "engine/scripting/BlockRenderer.h"

#include "RecordingMidiReceiver.h"

#include <gtest/gtest.h>

namespace {

// Records rendered pieces into the same log as the MIDI operations, so order shows.
class RecordingRenderer : public QN::ChunkRenderer {
public:
    explicit RecordingRenderer(RecordingMidiReceiver& log) : log_(log) {}
    void renderChunk(int offset, int frames) override
    {
        log_.log.push_back("audio " + std::to_string(offset) + "+" + std::to_string(frames));
    }

private:
    RecordingMidiReceiver& log_;
};

struct Fixture {
    QN::MessageQueue queue;
    RecordingMidiReceiver receiver;
    RecordingRenderer renderer{receiver};

    std::vector<std::string> render(int frames)
    {
        receiver.log.clear();
        QN::renderBlockWithMessages(queue, frames, renderer, receiver);
        return receiver.log;
    }
};

using Log = std::vector<std::string>;

}  // namespace

TEST(BlockRenderer, BlockWithoutEventsRendersInOnePiece)
{
    Fixture f;
    EXPECT_EQ(f.render(256), (Log{"audio 0+256"}));
    EXPECT_EQ(f.render(0), Log{});
}

TEST(BlockRenderer, EventsSplitTheBlockAtTheirOffsetsInQueueOrder)
{
    Fixture f;
    f.queue.writeMidi(0x90, 60, 100, 10);
    f.queue.writeMidi(0x80, 60, 0, 10);
    f.queue.writeMidi(0xB1, 7, 64, 40);
    EXPECT_EQ(f.render(64), (Log{"audio 0+10", "on 0 60 100", "off 0 60 0", "audio 10+30", "cc 1 7 64",
                                 "audio 40+24"}));
}

TEST(BlockRenderer, EventAtTheStartIsDispatchedBeforeAnyAudio)
{
    Fixture f;
    f.queue.writeMidi(0xC2, 5, 0, 0);
    EXPECT_EQ(f.render(16), (Log{"program 2 5", "audio 0+16"}));
}

TEST(BlockRenderer, EventPastTheBlockIsDispatchedAfterItsLastFrame)
{
    Fixture f;
    f.queue.writeMidi(0xD0, 33, 0, 100);
    EXPECT_EQ(f.render(64), (Log{"audio 0+64", "pressure 0 33"}));
}

TEST(BlockRenderer, EventsLeftWhenTheBlockIsDoneWaitForTheNextBlock)
{
    Fixture f;
    f.queue.writeMidi(0x90, 1, 1, 64);
    f.queue.writeMidi(0x90, 2, 1, 8);
    EXPECT_EQ(f.render(64), (Log{"audio 0+64", "on 0 1 1"}));
    EXPECT_EQ(f.render(32), (Log{"audio 0+8", "on 0 2 1", "audio 8+24"}));
}

TEST(BlockRenderer, DispatchMapsEveryChannelMessage)
{
    Fixture f;
    f.queue.writeMidi(0x9F, 60, 0, 0);   // velocity 0 is a note-off
    f.queue.writeMidi(0xA3, 61, 70, 0);
    f.queue.writeMidi(0xE4, 0x7F, 0x40, 0);
    f.queue.writeMidi(0xF8, 0, 0, 0);    // system messages are not channel messages
    EXPECT_EQ(f.render(1), (Log{"off 15 60 0", "poly 3 61 70", "wheel 4 127 64", "audio 0+1"}));
}

TEST(BlockRenderer, ADenseBlockOfTenTwentyFourEventsDispatchesEveryOneAtItsOffsetInOrder)
{
    Fixture f;
    Log expected;
    for (int i = 0; i < 1024; ++i) {
        // Two events per frame: the audio up to each new offset comes first.
        if (i % 2 == 0 && i > 0) {
            expected.push_back("audio " + std::to_string(i / 2 - 1) + "+1");
        }
        f.queue.writeMidi(0xB0, static_cast<std::uint8_t>(i >> 7), static_cast<std::uint8_t>(i & 0x7F), i / 2);
        expected.push_back("cc 0 " + std::to_string(i >> 7) + " " + std::to_string(i & 0x7F));
    }
    expected.push_back("audio 511+1");
    EXPECT_EQ(f.render(512), expected);
}

// The scripts were busy: the block still renders whole, and the events from the first one
// the receiver could not take wait, in order and with their offsets, for the next block.
TEST(BlockRenderer, EventsTheReceiverCannotTakeWaitInOrderForTheNextBlock)
{
    Fixture f;
    f.queue.writeMidi(0x90, 60, 100, 10);
    f.queue.writeMidi(0xB1, 7, 64, 20);
    f.queue.writeMidi(0x80, 60, 0, 40);
    f.receiver.readyFor = 1;
    EXPECT_EQ(f.render(64), (Log{"audio 0+10", "on 0 60 100", "audio 10+10", "audio 20+44"}));
    f.receiver.readyFor = 1 << 30;
    EXPECT_EQ(f.render(64), (Log{"audio 0+20", "cc 1 7 64", "audio 20+20", "off 0 60 0", "audio 40+24"}));
    EXPECT_EQ(f.queue.droppedCount(), 0u);
}
