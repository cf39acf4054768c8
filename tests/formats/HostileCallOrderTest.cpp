// Hosts that break the rules of their format: threads cancelled inside the plug-in, calls
// out of order and after the instance is gone. The host must survive every one of them.

#include "FormatFixture.h"
#include "tests/support/ChildProcess.h"

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>

#include <dlfcn.h>
#include <malloc.h>
#include <pthread.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

using namespace formats;

namespace {

// A start-up script that waits inside the system, where a cancellation can reach it; it
// leaves a mark first, so that the test cancels only once the thread is in there.
class StallingStartUpScript {
public:
    StallingStartUpScript()
        : folder_(std::string(std::getenv("XDG_DATA_HOME")) + "/Corvanne/Lumenfold/Scripts"),
          mark_(folder_ / "reached")
    {
        std::filesystem::create_directories(folder_);
        std::ofstream(folder_ / "stall.lua") << "os.execute('touch " << mark_.string() << "; exec sleep 30 >/dev/null 2>&1')\n";
    }
    ~StallingStartUpScript()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    [[nodiscard]] bool waitUntilReached() const
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!std::filesystem::exists(mark_)) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));  // bounded above
        }
        return true;
    }

private:
    std::filesystem::path folder_;
    std::filesystem::path mark_;
};

void* runHostCall(void* call)
{
    (*static_cast<std::function<void()>*>(call))();
    return nullptr;
}

// Runs call on a thread of its own, cancels that thread once the script is reached, and
// says what went wrong (empty when the thread ended as cancelled).
std::string cancelInsideThePlugin(std::function<void()> call, const StallingStartUpScript& script)
{
    pthread_t thread;
    if (pthread_create(&thread, nullptr, runHostCall, &call) != 0) return "no thread";
    if (!script.waitUntilReached()) return "the start-up script was never reached";
    pthread_cancel(thread);
    void* result = nullptr;
    pthread_join(thread, &result);
    return result == PTHREAD_CANCELED ? "" : "the thread was not cancelled";
}

// One call of a careless host and whether its answer was the safe one.
struct Step {
    const char* call;
    std::function<bool()> answeredSafely;
};

// Runs the steps in a child standing in for the host, with freed memory overwritten at
// once (as a busy host's allocations soon do), so that a call into a freed instance
// fails every time instead of now and then.
ChildOutcome runSteps(const std::function<std::vector<Step>()>& makeSteps)
{
    return runInChild(std::chrono::seconds(60), [&] {
        mallopt(M_PERTURB, 0xa5);
        std::string failed;
        for (const Step& step : makeSteps()) {
            if (!step.answeredSafely()) failed += std::string(step.call) + "; ";
        }
        return failed;
    });
}

struct Block {
    std::vector<float> left = std::vector<float>(64, 0.5f), right = std::vector<float>(64, 0.5f);
    float* io[2] = {left.data(), right.data()};
};

}  // namespace

TEST(HostileHost, AThreadCancelledInsideThePluginEndsCancelledAndTheHostGoesOn)
{
    const struct {
        const char* format;
        std::function<void()> create;
    } cases[] = {
        {"VST", [] { loadVst(); }},
        {"CLAP", [] { loadClap(); }},
        {"LV2", [] { loadLv2(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        const StallingStartUpScript script;
        const ChildOutcome outcome =
            runInChild(std::chrono::seconds(60), [&] { return cancelInsideThePlugin(c.create, script); });
        EXPECT_TRUE(outcome.survived()) << outcome.output;
    }
}

TEST(HostileHost, ClapCallsOutOfOrderAndAfterDestroyGetSafeAnswers)
{
    const ChildOutcome outcome = runSteps([] {
        std::string error;
        static std::unique_ptr<lfhost::ClapPluginHost> clap =
            lfhost::ClapPluginHost::load(LUMENFOLD_CLAP_PATH, &error, false);
        static Block block;
        const clap_plugin_t* p = clap->plugin();
        const auto* params = clap->extension<clap_plugin_params_t>(kClapExtParams);
        const auto* gui = clap->extension<clap_plugin_gui_t>(kClapExtGui);
        const auto* latency = clap->extension<clap_plugin_latency_t>(kClapExtLatency);
        const auto* timers = clap->extension<clap_plugin_timer_support_t>(kClapExtTimerSupport);
        const auto* ports = clap->extension<clap_plugin_audio_ports_t>(kClapExtAudioPorts);
        static double value = 0;
        return std::vector<Step>{
            {"process before init", [=] { return clap->process(block.io, block.io, 64) == CLAP_PROCESS_ERROR; }},
            {"activate before init", [=] { return !p->activate(p, kSampleRate, 1, 64); }},
            {"params.get_value before init", [=] { return !params->get_value(p, 0, &value); }},
            {"state.save before init", [=] { return clap->saveState().empty(); }},
            {"gui.create before init", [=] { return !gui->create(p, "x11", false); }},
            {"init", [=] { return p->init(p); }},
            {"init twice", [=] { return !p->init(p); }},
            {"start_processing while inactive", [=] { return !p->start_processing(p); }},
            {"process while inactive", [=] { return clap->process(block.io, block.io, 64) == CLAP_PROCESS_ERROR; }},
            {"activate", [=] { return p->activate(p, kSampleRate, 1, 64); }},
            {"activate twice", [=] { return !p->activate(p, kSampleRate, 1, 64); }},
            {"deactivate twice", [=] { return p->deactivate(p), p->deactivate(p), true; }},
            {"process after deactivate", [=] { return clap->process(block.io, block.io, 64) == CLAP_PROCESS_ERROR; }},
            {"destroy", [=] { return clap->destroyEarly(), true; }},
            {"params.get_value after destroy", [=] { return !params->get_value(p, 0, &value); }},
            {"params.count after destroy", [=] { return params->count(p) == 0; }},
            {"state.save after destroy", [=] { return clap->saveState().empty(); }},
            {"latency.get after destroy", [=] { return latency->get(p) == 0; }},
            {"audio_ports.count after destroy", [=] { return ports->count(p, true) == 0; }},
            {"gui.destroy and timer after destroy", [=] { return gui->destroy(p), timers->on_timer(p, 1), true; }},
            {"activate after destroy", [=] { return !p->activate(p, kSampleRate, 1, 64); }},
            {"process after destroy", [=] { return clap->process(block.io, block.io, 64) == CLAP_PROCESS_ERROR; }},
            {"destroy twice", [=] { return p->destroy(p), true; }},
        };
    });
    EXPECT_TRUE(outcome.survived()) << outcome.output;
}

TEST(HostileHost, Lv2CallsOutOfOrderAndAfterCleanupGetSafeAnswers)
{
    const ChildOutcome outcome = runSteps([] {
        void* library = dlopen((std::string(LUMENFOLD_LV2_BUNDLE) + "/Lumenfold.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        const LV2_Descriptor* d = reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor"))(0);
        const auto* state = static_cast<const LV2_State_Interface*>(d->extension_data(LV2_STATE__interface));
        static Block block;
        static LV2_Handle h = d->instantiate(d, kSampleRate, "", nullptr);
        const auto connectAudio = [=] {
            for (std::uint32_t port = 0; port < 4; ++port) d->connect_port(h, port, block.io[port % 2]);
            return true;
        };
        const auto silent = [] { return block.left[0] == 0.0f && block.left[63] == 0.0f; };
        const LV2_State_Store_Function store = [](LV2_State_Handle, std::uint32_t, const void*, std::size_t,
                                                  std::uint32_t, std::uint32_t) { return LV2_STATE_SUCCESS; };
        return std::vector<Step>{
            {"instantiate", [=] { return h != nullptr; }},
            {"connect_port before activate", connectAudio},
            {"run before activate", [=] { return d->run(h, 64), silent(); }},
            {"activate twice", [=] { return d->activate(h), d->activate(h), true; }},
            {"deactivate twice", [=] { return d->deactivate(h), d->deactivate(h), true; }},
            {"cleanup", [=] { return d->cleanup(h), true; }},
            {"connect_port after cleanup", connectAudio},
            {"activate after cleanup", [=] { return d->activate(h), true; }},
            {"run after cleanup", [=] { return d->run(h, 64), true; }},
            {"state save after cleanup", [=] { return state->save(h, store, nullptr, 0, nullptr) != LV2_STATE_SUCCESS; }},
            {"deactivate after cleanup", [=] { return d->deactivate(h), true; }},
            {"cleanup twice", [=] { return d->cleanup(h), true; }},
        };
    });
    EXPECT_TRUE(outcome.survived()) << outcome.output;
}

// patch:Get for more bins than the notify port has room for: every answer that is sent is
// whole, and the rest follow in the next run.
TEST(HostileHost, Lv2NotifyPortHoldsOnlyWholeEvents)
{
    constexpr std::uint32_t kHeader = 16, kEvent = 72, kRequested = 3;
    const std::uint32_t capacities[] = {8 + kHeader - 1, 8 + kHeader + kEvent - 1, 8 + kHeader + kEvent,
                                        8 + kHeader + kEvent + 8, 8 + kHeader + 2 * kEvent - 4, 8 + kHeader + 3 * kEvent};
    for (const std::uint32_t capacity : capacities) {
        SCOPED_TRACE(capacity);
        auto lv2 = loadLv2();
        ASSERT_TRUE(lv2);
        Block block;
        for (std::uint32_t k = 0; k < kRequested; ++k) lv2->requestProperty(binUri(kBinLevelBase + 5 + static_cast<int>(k)));
        lv2->setNotifyCapacity(capacity);
        lv2->run(block.io, block.io, 64);
        ASSERT_TRUE(lv2->notifyWellFormed());
        const std::size_t fitting = capacity < 8 + kHeader ? 0 : (capacity - 8 - kHeader) / kEvent;
        const std::size_t sent = lv2->notifications().size();
        EXPECT_EQ(sent, std::min<std::size_t>(fitting, kRequested));
        lv2->setNotifyCapacity(0);
        lv2->run(block.io, block.io, 64);
        EXPECT_EQ(sent + lv2->notifications().size(), kRequested);
    }
}
