#include "engine/scripting/ScriptConsole.h"

#include "platform/ThreadName.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace QN {

namespace {

const char kConsoleKey[] = "QN::ScriptConsole";

constexpr int kWriteWaitMs = 50;

// FNV-1a over the bytes a line keeps of its source and text; never 0, which stands for
// "no error queued last".
std::uint64_t errorKey(const char* source, const char* text)
{
    std::uint64_t hash = 14695981039346656037ull;
    const auto mix = [&hash](const char* part, std::size_t capacity) {
        const std::size_t length = part ? strnlen(part, capacity - 1) : 0;
        for (std::size_t i = 0; i < length; ++i) hash = (hash ^ static_cast<unsigned char>(part[i])) * 1099511628211ull;
        hash = (hash ^ 0xffu) * 1099511628211ull;  // keeps "ab"+"c" apart from "a"+"bc"
    };
    mix(source, ScriptConsole::kSourceBytes);
    mix(text, ScriptConsole::kTextBytes);
    return hash == 0 ? 1 : hash;
}

void copyCut(char* destination, std::size_t capacity, const char* text)
{
    const std::size_t length = text ? strnlen(text, capacity - 1) : 0;
    std::memcpy(destination, text ? text : "", length);
    destination[length] = '\0';
}

// A blocked standard error (a pipe nobody reads) must not hold the writer for ever: a
// line waits at most timeoutMs for room, else it is dropped (false). Lines are shorter
// than the pipe's atomic size, so a write that poll allowed does not block.
bool writeAll(const std::string& line, int timeoutMs)
{
    pollfd ready{STDERR_FILENO, POLLOUT, 0};
    if (::poll(&ready, 1, timeoutMs) != 1 || (ready.revents & POLLOUT) == 0) {
        return false;
    }
    const char* data = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        const ssize_t done = ::write(STDERR_FILENO, data, left);
        if (done <= 0) {
            return false;
        }
        data += done;
        left -= static_cast<std::size_t>(done);
    }
    return true;
}

}  // namespace

ScriptConsole::ScriptConsole() { writer_ = std::thread([this] { writerLoop(); }); }

ScriptConsole::~ScriptConsole()
{
    closing_.store(true, std::memory_order_relaxed);
    wake_.raise(kStop);
    writer_.join();
    writeWaiting();
    writeCountsLeft();
}

bool ScriptConsole::post(const char* source, const char* text) { return enqueue(source, text, false); }

bool ScriptConsole::postError(const char* source, const char* text) { return enqueue(source, text, true); }

// The counts go with the line that follows them in the ring, so they are written where
// they happened. Two threads posting at once may hand a count to each other's line; the
// counts stay exact.
bool ScriptConsole::enqueue(const char* source, const char* text, bool error)
{
    const std::uint64_t key = error ? errorKey(source, text) : 0;
    if (error && lastQueuedError_.load(std::memory_order_acquire) == key) {
        queuedRepeats_.fetch_add(1, std::memory_order_relaxed);
        return true;
    }
    const bool queued = ring_.push([&](Posted& line) {
        copyCut(line.source, kSourceBytes, source);
        copyCut(line.text, kTextBytes, text);
        line.error = error;
        line.droppedBefore = dropped_.exchange(0, std::memory_order_relaxed);
        line.repeatsBefore = queuedRepeats_.exchange(0, std::memory_order_relaxed);
    });
    if (queued) {
        wake_.raise(kLinesWaiting);
    } else {
        dropped_.fetch_add(1, std::memory_order_relaxed);
    }
    // After a dropped line the same error is queued again, so that the count of drops
    // stands between the two.
    lastQueuedError_.store(queued ? key : 0, std::memory_order_release);
    return queued;
}

// A burst of lines costs one wake-up: posts while the writer is awake only set the flag
// again, and it looks once more before sleeping.
void ScriptConsole::writerLoop()
{
    platform::nameThisThread("lf-console");
    while ((wake_.wait(-1) & kStop) == 0) {
        writeWaiting();
    }
}

// Called on: the writer thread, or the destructor once the writer has ended.
bool ScriptConsole::writeWaiting()
{
    bool wrote = false;
    while (ring_.pop([this](const Posted& line) { writeOut(line); })) {
        written_.fetch_add(1, std::memory_order_release);
        wrote = true;
    }
    return wrote;
}

void ScriptConsole::writeOut(const Posted& posted)
{
    if (forgetLast_.exchange(false, std::memory_order_relaxed)) {
        lastError_ = false;
    }
    repeats_ += posted.repeatsBefore;
    countRepeats(posted.repeatsBefore);
    // A script failing on every frame or every timer tick says so once, then how often
    // (repeats the posting side did not see, such as one from another thread).
    const bool same = lastSource_ == posted.source && lastText_ == posted.text;
    if (posted.error && lastError_ && same && posted.droppedBefore == 0) {
        ++repeats_;
        countRepeats(1);
        return;
    }
    std::string line = countNotes(posted.droppedBefore);
    lastSource_ = posted.source;
    lastText_ = posted.text;
    lastError_ = posted.error;
    line += posted.text;
    if (line.empty() || line.back() != '\n') {
        line += '\n';
    }
    writeLine(std::move(line));
    keep(posted.source, posted.text, posted.error);
}

// The notes that stand before a line: how often the line before came again, and how
// many lines were dropped after it.
std::string ScriptConsole::countNotes(std::size_t dropped)
{
    std::string notes;
    // Appended piece by piece: GCC 12 misreads "text" + std::string&& as an overlapping
    // copy in optimised builds (-Wrestrict).
    if (repeats_ > 0) {
        notes.append("(the line before was repeated ").append(std::to_string(repeats_)).append(" times)\n");
        repeats_ = 0;
    }
    if (dropped > 0) {
        notes.append("(").append(std::to_string(dropped)).append(" script lines were dropped: too many at once)\n");
    }
    return notes;
}

void ScriptConsole::writeLine(std::string line)
{
    // Once standard error has stalled, lines are dropped without waiting until it takes
    // one again; closing never waits for it.
    const bool wait = !stalled_ && !closing_.load(std::memory_order_relaxed);
    stalled_ = !writeAll(line, wait ? kWriteWaitMs : 0);
}

// Called on: the destructor, once the writer has ended and the ring is empty: the counts
// no later line took.
void ScriptConsole::writeCountsLeft()
{
    repeats_ += queuedRepeats_.exchange(0, std::memory_order_relaxed);
    const std::string notes = countNotes(dropped_.exchange(0, std::memory_order_relaxed));
    if (!notes.empty()) {
        writeLine(notes);
    }
}

void ScriptConsole::keep(const char* source, const char* text, bool error)
{
    Line kept{source, text, error};
    if (!kept.text.empty() && kept.text.back() == '\n') {
        kept.text.pop_back();
    }
    std::lock_guard<std::mutex> lock(historyLock_);
    kept.number = ++lineCount_;
    history_.push_back(std::move(kept));
    if (history_.size() > kHistoryLines) {
        history_.pop_front();
    }
}

// The repeats belong to the last kept line, unless a clear came in between.
void ScriptConsole::countRepeats(std::size_t count)
{
    if (count == 0) {
        return;
    }
    std::lock_guard<std::mutex> lock(historyLock_);
    if (!history_.empty() && history_.back().error) {
        history_.back().repeats += count;
    }
}

void ScriptConsole::attach(lua_State* L)
{
    lua_pushlightuserdata(L, const_cast<char*>(kConsoleKey));
    lua_pushlightuserdata(L, this);
    lua_rawset(L, LUA_REGISTRYINDEX);
}

ScriptConsole* ScriptConsole::of(lua_State* L)
{
    lua_pushlightuserdata(L, const_cast<char*>(kConsoleKey));
    lua_rawget(L, LUA_REGISTRYINDEX);
    auto* console = static_cast<ScriptConsole*>(lua_touserdata(L, -1));
    lua_pop(L, 1);
    return console;
}

// The repeats counted where they were posted and not yet taken by a line belong to the
// last error (for a moment they may belong to one still in the ring).
std::vector<ScriptConsole::Line> ScriptConsole::history() const
{
    std::lock_guard<std::mutex> lock(historyLock_);
    std::vector<Line> lines(history_.begin(), history_.end());
    if (!lines.empty() && lines.back().error && lastQueuedError_.load(std::memory_order_relaxed) != 0) {
        lines.back().repeats += queuedRepeats_.load(std::memory_order_relaxed);
    }
    return lines;
}

void ScriptConsole::clear()
{
    std::lock_guard<std::mutex> lock(historyLock_);
    history_.clear();
    forgetLast_.store(true, std::memory_order_relaxed);
    lastQueuedError_.store(0, std::memory_order_release);
}

void ScriptConsole::flush()
{
    const std::size_t target = ring_.claimed();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (written_.load(std::memory_order_acquire) < target && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace QN
