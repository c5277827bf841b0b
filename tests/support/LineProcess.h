#pragma once

#include "support/ChildProcess.h"
#include "support/GenerousWait.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace velto::testing {

/// A program of the test that it talks to in lines: what the program writes to its standard output is read
/// line by line as it comes, and lines go to its standard input. Its standard error stays the test's, so
/// that its complaints show in the test's output. Stopped (SIGKILL) when dropped.
class LineProcess {
public:
    LineProcess(const std::vector<std::string> &arguments, const Environment &environment);
    ~LineProcess();
    LineProcess(const LineProcess &) = delete;
    LineProcess &operator=(const LineProcess &) = delete;

    bool isRunning() { return process_->isRunning(); }
    /// Reads lines until one starts with `prefix`; answers it, or "" when none came within `timeout`.
    std::string waitForLineStartingWith(const std::string &prefix, std::chrono::milliseconds timeout = generousWait);
    /// Reads lines until one is `expected`; answers it, or on time-out the last line read that starts with the
    /// same word, so that a failed comparison shows what came instead.
    std::string waitForLine(const std::string &expected, std::chrono::milliseconds timeout = generousWait);
    /// Writes the text to the program's standard input; answers whether all of it went.
    bool write(const std::string &text);

    /// Every line read so far, in order, without line breaks.
    std::vector<std::string> lines;

private:
    /// Reads one more line into `lines`; false when none came before the deadline or the output ended.
    bool readLine(std::chrono::steady_clock::time_point deadline);

    std::unique_ptr<ChildProcess> process_;
    int output_ = -1;
    int input_ = -1;
    std::string unfinished_;
};

} // namespace velto::testing
