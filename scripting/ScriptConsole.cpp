#include "scripting/ScriptConsole.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace QN {

namespace {

const char kConsoleKey[] = "QN::ScriptConsole";

// How often the writer looks at the ring: posting never wakes it, since waking takes a
// lock that the audio thread must not wait on.
constexpr auto kWriterPeriod = std::chrono::milliseconds(20);
constexpr int kWriteWaitMs = 50;

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
    {
        std::lock_guard<std::mutex> lock(wakeLock_);
        stopping_ = true;
    }
    wake_.notify_all();
    writer_.join();
    writeWaiting();
}

bool ScriptConsole::post(const char* source, const char* text) { return enqueue(source, text, false); }

bool ScriptConsole::postError(const char* source, const char* text) { return enqueue(source, text, true); }

bool ScriptConsole::enqueue(const char* source, const char* text, bool error)
{
    const bool queued = ring_.push([&](Posted& line) {
        copyCut(line.source, kSourceBytes, source);
        copyCut(line.text, kTextBytes, text);
        line.error = error;
    });
    if (!queued) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
    }
    return queued;
}

void ScriptConsole::writerLoop()
{
    std::unique_lock<std::mutex> lock(wakeLock_);
    while (!stopping_) {
        lock.unlock();
        writeWaiting();
        lock.lock();
        wake_.wait_for(lock, kWriterPeriod, [this] { return stopping_; });
    }
}

// Called on: the writer thread, or the destructor once the writer has ended.
bool ScriptConsole::writeWaiting()
{
    bool wrote = false;
    while (ring_.pop([this](const Posted& line) { writeOut(line.source, line.text, line.error); })) {
        written_.fetch_add(1, std::memory_order_release);
        wrote = true;
    }
    return wrote;
}

void ScriptConsole::writeOut(const char* source, const char* text, bool error)
{
    if (forgetLast_.exchange(false, std::memory_order_relaxed)) {
        lastError_ = false;
    }
    // A script failing on every frame or every timer tick says so once, then how often.
    if (error && lastError_ && lastSource_ == source && lastText_ == text) {
        ++repeats_;
        countRepeat();
        return;
    }
    const std::size_t dropped = dropped_.exchange(0, std::memory_order_relaxed);
    std::string line;
    if (repeats_ > 0) {
        line = "(the line before was repeated " + std::to_string(repeats_) + " times)\n";
        repeats_ = 0;
    }
    lastSource_ = source;
    lastText_ = text;
    lastError_ = error;
    if (dropped > 0) {
        line += "(" + std::to_string(dropped) + " script lines were dropped: too many at once)\n";
    }
    line += text;
    if (line.empty() || line.back() != '\n') {
        line += '\n';
    }
    // Once standard error has stalled, lines are dropped without waiting until it takes
    // one again; closing never waits for it.
    const bool wait = !stalled_ && !closing_.load(std::memory_order_relaxed);
    stalled_ = !writeAll(line, wait ? kWriteWaitMs : 0);
    keep(source, text, error);
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

// The repeat belongs to the last kept line, unless a clear came in between.
void ScriptConsole::countRepeat()
{
    std::lock_guard<std::mutex> lock(historyLock_);
    if (!history_.empty() && history_.back().error) {
        ++history_.back().repeats;
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

std::vector<ScriptConsole::Line> ScriptConsole::history() const
{
    std::lock_guard<std::mutex> lock(historyLock_);
    return {history_.begin(), history_.end()};
}

void ScriptConsole::clear()
{
    std::lock_guard<std::mutex> lock(historyLock_);
    history_.clear();
    forgetLast_.store(true, std::memory_order_relaxed);
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
