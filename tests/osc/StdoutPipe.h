#pragma once
// Sends this process's standard output (or another descriptor, such as standard error)
// into a pipe for as long as it lives, so that a test can wait (with a time-out) for a
// line the plug-in's threads print.

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

class StdoutPipe {
public:
    explicit StdoutPipe(int descriptor = STDOUT_FILENO) : descriptor_(descriptor)
    {
        std::fflush(stdout);
        saved_ = ::dup(descriptor_);
        int ends[2] = {-1, -1};
        if (::pipe(ends) == 0) {
            read_ = ends[0];
            ::dup2(ends[1], descriptor_);
            ::close(ends[1]);
        }
    }
    ~StdoutPipe()
    {
        std::fflush(stdout);
        ::dup2(saved_, descriptor_);
        ::close(saved_);
        ::close(read_);
    }
    StdoutPipe(const StdoutPipe&) = delete;
    StdoutPipe& operator=(const StdoutPipe&) = delete;

    // True once text has been printed (since the pipe was made), within timeoutMs.
    bool waitFor(const std::string& text, int timeoutMs)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (collected_.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd ready{read_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) != 1) {
                return false;
            }
            char buffer[4096];
            const ssize_t size = ::read(read_, buffer, sizeof(buffer));
            if (size <= 0) {
                return false;
            }
            collected_.append(buffer, static_cast<std::size_t>(size));
        }
        return true;
    }
    const std::string& collected() const { return collected_; }

private:
    int descriptor_;
    int saved_ = -1;
    int read_ = -1;
    std::string collected_;
};
