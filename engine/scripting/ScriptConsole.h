#pragma once
// What one instance's scripts print and the errors they raise. Lines are posted from any
// thread (the audio thread included) into a fixed ring, without locks, waiting or
// allocation; a thread of the console's own ("lf-console") writes them to standard error,
// so that a slow or blocked standard error never holds up a script, and keeps the last
// lines, each with the place it came from, for the editor's console. The writer sleeps
// until a line arrives: posting raises a wake flag (an atomic OR and, only when the writer
// sleeps, one futex wake-up), which the audio thread may do too.

#include "platform/MultiProducerRing.h"
#include "platform/WakeFlags.h"
#include "engine/scripting/LuaHeaders.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace QN {

class ScriptConsole {
public:
    static constexpr std::size_t kSlots = 256;  // a power of two
    static constexpr std::size_t kSourceBytes = 96;
    static constexpr std::size_t kTextBytes = 416;
    static constexpr std::size_t kHistoryLines = 200;

    struct Line {
        std::string source;  // "file:line", or what ran ("timer", "start-up"); may be empty
        std::string text;
        bool error = false;
        std::size_t repeats = 0;  // an error that came again this many times after it
        std::uint64_t number = 0;  // counts up over the console's life, so a reader can follow lines
    };

    ScriptConsole();
    // Writes out whatever is still waiting.
    ~ScriptConsole();
    ScriptConsole(const ScriptConsole&) = delete;
    ScriptConsole& operator=(const ScriptConsole&) = delete;

    // Queues one line; text past kTextBytes - 1 bytes is cut. False when the ring was full:
    // the line is counted, and the count written just before the next line that fits (or
    // at the end), so that lines posted before the drop are written before the count. An
    // error posted again right after itself (a script failing on every frame) takes no
    // room in the ring: it is counted where it is posted and the count written once
    // another line follows, or at the end. So a render that runs the same frames writes
    // the same lines and counts, however fast the writer keeps up. Called on: any
    // thread; never blocks or allocates.
    bool post(const char* source, const char* text);
    bool postError(const char* source, const char* text);

    // Lets print and the error reports of a state find this console (registry entry).
    void attach(lua_State* L);
    // The console of a state; null for a state without one (the editor's layout).
    static ScriptConsole* of(lua_State* L);

    // The last kHistoryLines lines written, oldest first. Called on: any non-audio thread.
    std::vector<Line> history() const;
    // Forgets the kept lines; an error that repeats shows again. Called on: any non-audio thread.
    void clear();
    // Returns once every line posted before the call has been written. Not on the audio thread.
    void flush();

private:
    struct Posted {
        char source[kSourceBytes];
        char text[kTextBytes];
        bool error;
        std::size_t droppedBefore;  // lines dropped since the line before this one
        std::size_t repeatsBefore;  // times the error before this one came again
    };

    void writerLoop();
    bool writeWaiting();
    bool enqueue(const char* source, const char* text, bool error);
    void writeOut(const Posted& line);
    void writeLine(std::string line);
    [[nodiscard]] std::string countNotes(std::size_t dropped);
    void writeCountsLeft();

    platform::MultiProducerRing<Posted, kSlots> ring_;
    std::atomic<std::size_t> dropped_{0};
    std::atomic<std::size_t> written_{0};
    // The error last queued (a hash of its source and text; 0 after any other line), and
    // how often it has been posted again since.
    std::atomic<std::uint64_t> lastQueuedError_{0};
    std::atomic<std::size_t> queuedRepeats_{0};

    std::string lastSource_;  // writer thread only
    std::string lastText_;
    bool lastError_ = false;
    std::size_t repeats_ = 0;

    void keep(const char* source, const char* text, bool error);
    void countRepeats(std::size_t count);

    mutable std::mutex historyLock_;
    std::deque<Line> history_;
    std::uint64_t lineCount_ = 0;           // under historyLock_
    std::atomic<bool> forgetLast_{false};  // set by clear, taken by the writer

    static constexpr std::uint32_t kLinesWaiting = 1;
    static constexpr std::uint32_t kStop = 2;
    platform::WakeFlags wake_;
    std::atomic<bool> closing_{false};  // no more waiting for room on standard error
    bool stalled_ = false;              // writer thread only
    std::thread writer_;
};

}  // namespace QN
