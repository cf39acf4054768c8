// lumenfold-render and lumenfold-host run as a user runs them, with the test plug-in;
// lumenfold-live too, for the files it reads before it needs a JACK server.

#include "tests/tools/ToolProcess.h"
#include "tools/render/DemoSignal.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;

namespace {

struct SoundFile {
    std::vector<float> interleaved;
    int channels = 0;
    int sampleRate = 0;
    int format = 0;
};

void writeSound(const fs::path& path, const SoundFile& sound)
{
    SF_INFO info{};
    info.channels = sound.channels;
    info.samplerate = sound.sampleRate;
    info.format = sound.format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    sf_writef_float(file, sound.interleaved.data(), static_cast<sf_count_t>(sound.interleaved.size()) / sound.channels);
    sf_close(file);
}

SoundFile readSound(const fs::path& path)
{
    SF_INFO info{};
    SoundFile sound;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return sound;
    sound.interleaved.resize(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, sound.interleaved.data(), info.frames);
    sf_close(file);
    sound.channels = info.channels;
    sound.sampleRate = info.samplerate;
    sound.format = info.format;
    return sound;
}

SoundFile noiseFile(int channels, int frames, int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT)
{
    std::mt19937 engine(42);
    SoundFile sound;
    sound.channels = channels;
    sound.sampleRate = 44100;
    sound.format = format;
    sound.interleaved.resize(static_cast<std::size_t>(channels * frames));
    for (float& s : sound.interleaved) s = static_cast<float>(engine() % 2001) / 4000.0f - 0.25f;
    return sound;
}

std::vector<unsigned char> fileBytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

void putLittleEndian32(std::vector<unsigned char>& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(value >> (8 * i));
}

// A mono 16-bit WAV of 100 frames at any rate the header can hold, written by hand.
std::vector<unsigned char> wavAtRate(std::uint32_t rate)
{
    std::vector<unsigned char> bytes(44 + 200, 0);
    std::memcpy(&bytes[0], "RIFF", 4);
    putLittleEndian32(bytes, 4, static_cast<std::uint32_t>(bytes.size() - 8));
    std::memcpy(&bytes[8], "WAVEfmt ", 8);
    putLittleEndian32(bytes, 16, 16);
    bytes[20] = 1;  // PCM
    bytes[22] = 1;  // one channel
    putLittleEndian32(bytes, 24, rate);
    putLittleEndian32(bytes, 28, rate * 2u);  // bytes a second (wraps for huge rates, as in the issue)
    bytes[32] = 2;   // bytes a frame
    bytes[34] = 16;  // bits
    std::memcpy(&bytes[36], "data", 4);
    putLittleEndian32(bytes, 40, 200);
    return bytes;
}

class RenderTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() /
                 ("lumenfold-render-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    ToolResult render(std::vector<std::string> args)
    {
        args.push_back("--plugin");
        args.push_back(LFTEST_GAIN_PLUGIN);
        return runTool(LFTEST_RENDER_TOOL, args);
    }

    std::string path(const char* name) const { return (folder / name).string(); }

    std::vector<std::string> folderEntries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // The failure contract: non-zero exit, exactly one line naming the tool, no output.
    void expectCleanFailure(const ToolResult& result, const std::vector<std::string>& entriesBefore,
                            const std::string& reasonPart)
    {
        EXPECT_NE(result.exitCode, 0);
        EXPECT_EQ(result.err.rfind("lumenfold-render: ", 0), 0u) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_NE(result.err.find(reasonPart), std::string::npos) << result.err;
        EXPECT_EQ(folderEntries(), entriesBefore);
    }

    fs::path folder;
};

TEST_F(RenderTool, StereoFileComesBackUnchangedThroughUnityGain)
{
    const SoundFile input = noiseFile(2, 3000);
    writeSound(path("in.wav"), input);
    const ToolResult result = render({path("in.wav"), path("out.wav"), "--set", "Latency=0.123", "--block", "100"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const SoundFile output = readSound(path("out.wav"));
    EXPECT_EQ(output.format, input.format);
    EXPECT_EQ(output.sampleRate, 44100);
    EXPECT_EQ(output.interleaved, input.interleaved);  // latency of 123 samples compensated
}

TEST_F(RenderTool, MonoFileStaysMonoAndTakesTheGain)
{
    const SoundFile input = noiseFile(1, 500);
    writeSound(path("in.wav"), input);
    const ToolResult result = render({path("in.wav"), path("out.wav"), "--set", "Gain=0.25"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const SoundFile output = readSound(path("out.wav"));
    ASSERT_EQ(output.channels, 1);
    ASSERT_EQ(output.interleaved.size(), input.interleaved.size());
    for (std::size_t i = 0; i < input.interleaved.size(); ++i)
        EXPECT_FLOAT_EQ(output.interleaved[i], 0.5f * input.interleaved[i]);
}

TEST_F(RenderTool, KeepsFlacAndItsSampleFormat)
{
    writeSound(path("in.flac"), noiseFile(2, 800, SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
    const ToolResult result = render({path("in.flac"), path("out.flac")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const SoundFile output = readSound(path("out.flac"));
    EXPECT_EQ(output.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    const SoundFile input = readSound(path("in.flac"));
    ASSERT_EQ(output.interleaved.size(), input.interleaved.size());
    // TPDF dither moves a sample by at most one 16-bit step.
    for (std::size_t i = 0; i < input.interleaved.size(); ++i)
        ASSERT_NEAR(output.interleaved[i], input.interleaved[i], 1.0f / 32768.0f) << i;
}

TEST_F(RenderTool, DigitalSilenceStaysExactZerosUnderDither)
{
    SoundFile input = noiseFile(2, 3000);
    std::fill(input.interleaved.begin(), input.interleaved.begin() + 2000, 0.0f);  // 1000 silent frames first
    std::fill(input.interleaved.end() - 2000, input.interleaved.end(), 0.0f);      // and last
    writeSound(path("in.wav"), input);
    ASSERT_EQ(render({path("in.wav"), path("out.wav"), "--bits", "16"}).exitCode, 0);
    const SoundFile output = readSound(path("out.wav"));
    ASSERT_EQ(output.interleaved.size(), input.interleaved.size());
    for (std::size_t i = 0; i < input.interleaved.size(); ++i) {
        if (input.interleaved[i] == 0.0f) ASSERT_EQ(output.interleaved[i], 0.0f) << i;
        else ASSERT_NEAR(output.interleaved[i], input.interleaved[i], 1.5f / 32768.0f) << i;  // dither and rounding
    }
}

TEST_F(RenderTool, DemoSignalWithoutInputAtTheRequestedRate)
{
    const ToolResult result = render({"--demo", path("demo.aiff"), "--sample-rate", "22050"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const SoundFile output = readSound(path("demo.aiff"));
    EXPECT_EQ(output.channels, 2);
    EXPECT_EQ(output.sampleRate, 22050);
    EXPECT_EQ(output.format, SF_FORMAT_AIFF | SF_FORMAT_PCM_24);
    EXPECT_EQ(output.interleaved.size(), 2u * 4u * 22050u);
}

// Lossy output is good enough to listen to by default (MP3 192 kbps, Opus 128 kbps for
// stereo, Vorbis as good as that MP3), and --quality trades size for sound.
TEST_F(RenderTool, LossyOutputHasListenableDefaultsAndQualityChoosesTheSize)
{
    const auto kbps = [this](const char* name) { return fs::file_size(path(name)) * 8.0 / lfrender::kDemoSeconds / 1000.0; };
    const struct {
        const char* name;
        double atLeast, atMost;
    } defaults[] = {{"d.mp3", 190.0, 200.0}, {"d.opus", 120.0, 145.0}, {"d.ogg", 140.0, 260.0}};
    for (const auto& c : defaults) {
        ASSERT_EQ(render({"--demo", path(c.name)}).exitCode, 0) << c.name;
        EXPECT_GE(kbps(c.name), c.atLeast) << c.name;
        EXPECT_LE(kbps(c.name), c.atMost) << c.name;
    }
    ASSERT_EQ(render({"--demo", path("best.mp3"), "--quality", "1"}).exitCode, 0);
    EXPECT_GT(kbps("best.mp3"), 300.0);
    ASSERT_EQ(render({"--demo", path("small.ogg"), "--quality", "0"}).exitCode, 0);
    EXPECT_LT(kbps("small.ogg"), kbps("d.ogg") / 1.5);
    const std::vector<std::string> before = folderEntries();
    expectCleanFailure(render({"--demo", path("x.wav"), "--quality", "0.5"}), before, "--quality does not apply");
    expectCleanFailure(render({"--demo", path("x.mp3"), "--quality", "192"}), before, "from 0 (smallest file) to 1");
}

TEST_F(RenderTool, SavedStateRestoresTheSettings)
{
    writeSound(path("in.wav"), noiseFile(2, 200));
    ASSERT_EQ(render({path("in.wav"), path("a.wav"), "--set", "Gain=0.3", "--save-state", path("s.state")}).exitCode, 0);
    ASSERT_EQ(render({path("in.wav"), path("b.wav"), "--state", path("s.state")}).exitCode, 0);
    const SoundFile a = readSound(path("a.wav"));
    EXPECT_EQ(a.interleaved, readSound(path("b.wav")).interleaved);
    EXPECT_NE(a.interleaved, readSound(path("in.wav")).interleaved);
    EXPECT_EQ(fs::file_size(path("s.state")), 16u);
}

TEST_F(RenderTool, EveryErrorIsOneLineAndLeavesNoOutput)
{
    writeSound(path("in.wav"), noiseFile(2, 100));
    writeSound(path("three.wav"), noiseFile(3, 100));
    std::ofstream(path("text.wav")) << "this is not audio\n";
    std::ofstream(path("bad.state")) << "not a state chunk";
    std::ofstream(path("empty.state"));
    const auto before = folderEntries();

    const std::string in = path("in.wav");
    const std::string out = path("out.wav");
    const struct {
        std::vector<std::string> args;
        const char* reason;
    } cases[] = {
        {{path("missing.wav"), out}, "cannot read"},
        {{path("text.wav"), out}, "cannot read"},
        {{path("three.wav"), out}, "3 channels"},
        {{in, out, "--set", "Volume=1"}, "unknown parameter"},
        {{in, out, "--set", "Gain=nan"}, "finite number"},
        {{in, out, "--set", "Gain=loud"}, "not a value"},
        {{in, out, "--state", path("missing.state")}, "cannot read state file"},
        {{in, out, "--state", path("empty.state")}, "is empty"},
        {{in, out, "--state", path("bad.state")}, "refused it"},
        {{in, out, "--block", "0"}, "--block"},
        {{in, out, "--sample-rate", "fast"}, "--sample-rate"},
        {{in, out, "--sample-rate", "48000"}, "differs"},
        {{"--demo", path("demo.mp4")}, "cannot tell the format"},
        {{in, path("no/such/folder/out.wav")}, "cannot create"},
        {{in, out, "--save-state", path("no/such/folder/s.state")}, "cannot create"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        expectCleanFailure(render(c.args), before, c.reason);
    }
}

TEST_F(RenderTool, PluginThatFailsToLoadIsReportedInOneLine)
{
    const auto before = folderEntries();
    const ToolResult result =
        runTool(LFTEST_RENDER_TOOL, {"--demo", path("out.wav"), "--plugin", path("Missing.so")});
    expectCleanFailure(result, before, "Missing.so");
}

// Hangs and memory: whatever a tool reads (state, MIDI, input, plug-in) must be a regular
// file of a sane size; anything else is refused at once in one line, and no read makes a
// tool deaf to Ctrl+C. The limit only guards the test: before the fix a FIFO blocked for
// ever and /dev/zero was read until memory ran out.
TEST_F(RenderTool, SpecialOrHugeFilesAreRefusedAtOnceInOneLine)
{
    writeSound(path("in.wav"), noiseFile(2, 100));
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(path("fifo.wav").c_str(), 0600), 0);
    { std::ofstream(path("sparse.state")); }
    fs::resize_file(path("sparse.state"), 3'000'000'000ull);  // sparse: no disk space used
    const auto before = folderEntries();

    const std::string in = path("in.wav");
    const std::string out = path("out.wav");
    const std::string fifo = path("fifo");
    const std::string plugin = LFTEST_GAIN_PLUGIN;
    const struct {
        const char* tool;
        std::vector<std::string> args;
        std::string reason;
        int status;
    } cases[] = {
        {LFTEST_RENDER_TOOL, {in, out, "--state", fifo, "--plugin", plugin},
         "cannot read state file " + fifo + ": it is a FIFO, not a regular file", 1},
        {LFTEST_RENDER_TOOL, {in, out, "--midi", fifo, "--plugin", plugin},
         "cannot read MIDI file " + fifo + ": it is a FIFO, not a regular file", 1},
        {LFTEST_RENDER_TOOL, {path("fifo.wav"), out, "--plugin", plugin}, "it is a FIFO, not a regular file", 1},
        {LFTEST_RENDER_TOOL, {in, out, "--plugin", fifo}, "cannot load " + fifo + ": it is a FIFO", 3},
        {LFTEST_RENDER_TOOL, {in, out, "--state", "/dev/zero", "--plugin", plugin},
         "/dev/zero: it is a device, not a regular file", 1},
        {LFTEST_RENDER_TOOL, {in, out, "--state", path("sparse.state"), "--plugin", plugin},
         "state file " + path("sparse.state") + " is larger than 64 KB", 1},
        {LFTEST_LIVE_TOOL, {"--no-editor", "--state", fifo}, "it is a FIFO, not a regular file", 1},
        {LFTEST_LIVE_TOOL, {"--no-editor", "--state", "/dev/zero"}, "it is a device, not a regular file", 1},
        {LFTEST_LIVE_TOOL, {"--no-editor", "--state", path("sparse.state")}, "is larger than 64 KB", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.tool) + " " + ::testing::PrintToString(c.args));
        ToolLimits limits;
        limits.timeoutSeconds = 10.0;
        const ToolResult result = runTool(c.tool, c.args, limits);
        EXPECT_FALSE(result.timedOut) << "the tool was still running after 10 s";
        if (result.timedOut) continue;
        EXPECT_LT(result.seconds, 5.0);
        EXPECT_EQ(result.exitCode, c.status) << result.err;
        const std::string prefix = fs::path(c.tool).filename().string() + ": ";
        EXPECT_EQ(result.err.rfind(prefix, 0), 0u) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_NE(result.err.find(c.reason), std::string::npos) << result.err;
        EXPECT_EQ(folderEntries(), before);
    }

    // Ctrl+C in the middle of a long render (a 1 GiB WAV of silence, sparse) ends it at
    // once and leaves no temporary file behind.
    std::vector<unsigned char> header = wavAtRate(48000);
    putLittleEndian32(header, 40, 1u << 30);
    putLittleEndian32(header, 4, (1u << 30) + 36u);
    header.resize(44);
    writeBytes(path("long.wav"), header);
    fs::resize_file(path("long.wav"), 44 + (1ull << 30));
    const auto withLong = folderEntries();
    ToolLimits limits;
    limits.timeoutSeconds = 20.0;
    limits.interruptWhen = [&] { return folderEntries().size() > withLong.size(); };  // the render has begun
    const ToolResult interrupted = runTool(LFTEST_RENDER_TOOL, {path("long.wav"), out, "--plugin", plugin}, limits);
    EXPECT_FALSE(interrupted.timedOut);
    EXPECT_EQ(interrupted.endSignal, SIGINT) << interrupted.err;
    EXPECT_EQ(folderEntries(), withLong);
}

// Lost output: the render never replaces its input or one of its own outputs, and what
// stands under an output's name is replaced only by a complete render.
TEST_F(RenderTool, RenderNeverReplacesItsInputOrItsOwnOutputs)
{
    writeSound(path("in.wav"), noiseFile(2, 300));
    const auto inBytes = fileBytes(path("in.wav"));
    const std::vector<unsigned char> oldBytes = {'o', 'l', 'd'};
    // The same files before every case, whatever the case before did to them.
    const auto prepare = [&] {
        for (const auto& entry : fs::directory_iterator(folder)) fs::remove_all(entry.path());
        writeBytes(path("in.wav"), inBytes);
        fs::create_hard_link(path("in.wav"), path("link.wav"));
        writeBytes(path("old.wav"), oldBytes);
        mkfifo(path("pipe.wav").c_str(), 0600);
    };
    prepare();
    const auto before = folderEntries();

    const std::string in = path("in.wav");
    const struct {
        std::vector<std::string> args;
        const char* reason;
        int status;
    } cases[] = {
        {{in}, "no output file named for", 2},
        {{in, in}, "is the input file itself", 2},
        {{in, (folder / "." / "in.wav").string()}, "is the input file itself", 2},
        {{in, path("link.wav")}, "is the input file itself", 2},
        {{in, path("out.wav"), "--save-state", path("out.wav")}, "is the audio output", 2},
        {{in, path("out.wav"), "--save-state", in}, "is the input file itself", 2},
        {{in, path("pipe.wav")}, "it is a FIFO, not a regular file", 1},
        {{in, path("old.wav"), "--set", "Gain=loud"}, "not a value", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        prepare();
        const ToolResult result = render(c.args);
        expectCleanFailure(result, before, c.reason);
        EXPECT_EQ(result.exitCode, c.status);
        EXPECT_EQ(fileBytes(path("in.wav")), inBytes);
        EXPECT_EQ(fileBytes(path("old.wav")), oldBytes);
        EXPECT_EQ(fs::status(path("pipe.wav")).type(), fs::file_type::fifo);
    }
    // A complete render replaces an earlier file; the demo signal needs --demo.
    prepare();
    ASSERT_EQ(render({in, path("old.wav")}).exitCode, 0);
    EXPECT_EQ(readSound(path("old.wav")).interleaved, readSound(path("in.wav")).interleaved);
    ASSERT_EQ(render({"--demo", path("demo.wav")}).exitCode, 0);
    EXPECT_EQ(fileBytes(path("in.wav")), inBytes);
}

// Wrong output from the input: a FLAC that does not say its length renders whole; an empty
// input and rates outside 1 kHz to 768 kHz are refused with one line and no output.
TEST_F(RenderTool, InputOfUnknownLengthRendersWholeAndUnplayableInputIsRefused)
{
    const SoundFile flac = noiseFile(2, 5000, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    writeSound(path("known.flac"), flac);
    std::vector<unsigned char> bytes = fileBytes(path("known.flac"));
    // "fLaC", then STREAMINFO (type 0) whose 36-bit total-samples field starts in the low
    // half of its byte 13: 0 there means "unknown".
    ASSERT_GE(bytes.size(), 26u);
    ASSERT_EQ(std::memcmp(bytes.data(), "fLaC", 4), 0);
    ASSERT_EQ(bytes[4] & 0x7f, 0);
    bytes[8 + 13] &= 0xf0;
    std::fill(bytes.begin() + 8 + 14, bytes.begin() + 8 + 18, 0);
    writeBytes(path("unknown.flac"), bytes);
    const SoundFile samples = readSound(path("known.flac"));
    fs::remove(path("known.flac"));

    // With a latency to compensate, as the real plug-in has.
    const ToolResult whole = render(
        {path("unknown.flac"), path("whole.wav"), "--bits", "32f", "--block", "700", "--set", "Latency=0.123"});
    EXPECT_EQ(whole.exitCode, 0) << whole.err;
    ASSERT_EQ(samples.interleaved.size(), 2u * 5000u);
    EXPECT_EQ(readSound(path("whole.wav")).interleaved, samples.interleaved);
    fs::remove(path("whole.wav"));

    writeSound(path("empty.wav"), SoundFile{{}, 1, 48000, SF_FORMAT_WAV | SF_FORMAT_FLOAT});
    writeBytes(path("rate1.wav"), wavAtRate(1));
    writeBytes(path("rate10M.wav"), wavAtRate(10'000'000));
    writeBytes(path("rateMax.wav"), wavAtRate(2147483647u));
    // AIFF rates are 80-bit floats after the COMM chunk's first 8 bytes of data.
    writeSound(path("rate.aiff"), SoundFile{std::vector<float>(100, 0.1f), 1, 48000, SF_FORMAT_AIFF | SF_FORMAT_PCM_16});
    const std::vector<unsigned char> aiff = fileBytes(path("rate.aiff"));
    fs::remove(path("rate.aiff"));
    const auto comm = std::search(aiff.begin(), aiff.end(), "COMM", "COMM" + 4) - aiff.begin() + 16;
    const struct {
        const char* name;
        unsigned char rate[10];
    } aiffRates[] = {{"zero.aiff", {0}},
                     {"inf.aiff", {0x7f, 0xff, 0x80}},
                     {"nan.aiff", {0x7f, 0xff, 0xc0}}};
    for (const auto& r : aiffRates) {
        std::vector<unsigned char> patched = aiff;
        std::copy(std::begin(r.rate), std::end(r.rate), patched.begin() + comm);
        writeBytes(path(r.name), patched);
    }
    const auto before = folderEntries();
    const struct {
        const char* input;
        const char* output;
        const char* reason;
    } cases[] = {
        {"empty.wav", "e.flac", "holds no audio"},
        {"empty.wav", "e.aiff", "holds no audio"},
        {"rate1.wav", "r.wav", "sample rate of 1 Hz"},
        {"rate10M.wav", "r.wav", "sample rate of 10000000 Hz"},
        {"rateMax.wav", "r.wav", "sample rate of 2147483647 Hz"},
        {"zero.aiff", "r.wav", "only rates from 1000 to 768000 Hz"},
        {"inf.aiff", "r.wav", "only rates from 1000 to 768000 Hz"},
        {"nan.aiff", "r.wav", "only rates from 1000 to 768000 Hz"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        const ToolResult result = render({path(c.input), path(c.output)});
        expectCleanFailure(result, before, c.reason);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find(path(c.input)), std::string::npos) << result.err;
    }
}

// Output names as long as the system allows (255 bytes here) work for the audio and the state.
TEST_F(RenderTool, OutputNamesOf250BytesWork)
{
    writeSound(path("in.wav"), noiseFile(1, 100));
    const std::string audio = std::string(246, 'a') + ".wav";
    const std::string state = std::string(244, 's') + ".state";
    ASSERT_EQ(audio.size(), 250u);
    ASSERT_EQ(state.size(), 250u);
    const ToolResult result = render({path("in.wav"), path(audio.c_str()), "--save-state", path(state.c_str())});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(folderEntries(), (std::vector<std::string>{audio, "in.wav", state}));
    EXPECT_EQ(readSound(path(audio.c_str())).interleaved, readSound(path("in.wav")).interleaved);
}

TEST(HostTool, PrintsWhatAHostSees)
{
    const ToolResult result = runTool(LFTEST_HOST_TOOL, {LFTEST_GAIN_PLUGIN});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    for (const char* expected : {"Test Gain", "Lumenfold Tests", "Test Gain Product", "1234", "2400", "'LFtg'",
                                 "0x30", "2/2", "Parameters:      3", "Latency", "samples", "Test Program",
                                 "16 bytes", "receiveVstMidiEvent: yes"}) {
        EXPECT_NE(result.out.find(expected), std::string::npos) << expected << "\n" << result.out;
    }
}

TEST(HostTool, LoadFailureIsOneLineAndNonZero)
{
    const ToolResult result = runTool(LFTEST_HOST_TOOL, {"/nonexistent/Lumenfold.so"});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(result.err.rfind("lumenfold-host: ", 0), 0u) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1);
    EXPECT_EQ(result.out, "");
}

TEST(HostTool, HelpListsEveryCommandAndABadValueSaysWhatIsExpected)
{
    const ToolResult help = runTool(LFTEST_HOST_TOOL, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* expected : {"editor", "--screenshot FILE", "--frames N", "--hover X Y", "--zoom", "--help"})
        EXPECT_NE(help.out.find(expected), std::string::npos) << expected << "\n" << help.out;
    const ToolResult zoom = runTool(LFTEST_HOST_TOOL, {"editor", "--screenshot", "x.png", "--zoom", "2"});
    EXPECT_EQ(zoom.exitCode, 2);
    EXPECT_NE(zoom.err.find("--zoom takes 100, 125, 150 or 200 (percent), not \"2\""), std::string::npos) << zoom.err;
}

}  // namespace
