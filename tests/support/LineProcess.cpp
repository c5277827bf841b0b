#include "support/LineProcess.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace velto::testing {

LineProcess::LineProcess(const std::vector<std::string> &arguments, const Environment &environment) {
    // A program that has died closes its input: writing to it must fail, not kill the test.
    std::signal(SIGPIPE, SIG_IGN);
    int outputPipe[2] = {-1, -1};
    int inputPipe[2] = {-1, -1};
    if (pipe2(outputPipe, O_CLOEXEC) != 0 || pipe2(inputPipe, O_CLOEXEC) != 0) {
        process_ = std::make_unique<ChildProcess>(std::vector<std::string>{"false"}, environment);
        return;
    }
    process_ = std::make_unique<ChildProcess>(arguments, environment,
                                              ChildProcess::Descriptors{inputPipe[0], outputPipe[1], STDERR_FILENO});
    close(outputPipe[1]);
    close(inputPipe[0]);
    output_ = outputPipe[0];
    input_ = inputPipe[1];
}

LineProcess::~LineProcess() {
    process_.reset();
    for (int descriptor : {output_, input_}) {
        if (descriptor >= 0) {
            close(descriptor);
        }
    }
}

bool LineProcess::readLine(std::chrono::steady_clock::time_point deadline) {
    while (output_ >= 0) {
        if (auto end = unfinished_.find('\n'); end != std::string::npos) {
            std::string line = unfinished_.substr(0, end);
            unfinished_.erase(0, end + 1);
            while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
                line.pop_back();
            }
            lines.push_back(line);
            return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd descriptor{output_, POLLIN, 0};
        if (poll(&descriptor, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char buffer[4096];
        ssize_t count = read(output_, buffer, sizeof buffer);
        if (count <= 0) {
            return false; // the program ended
        }
        unfinished_.append(buffer, static_cast<std::size_t>(count));
    }
    return false;
}

std::string LineProcess::waitForLineStartingWith(const std::string &prefix, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (readLine(deadline)) {
        if (lines.back().rfind(prefix, 0) == 0) {
            return lines.back();
        }
    }
    return {};
}

std::string LineProcess::waitForLine(const std::string &expected, std::chrono::milliseconds timeout) {
    const std::string firstWord = expected.substr(0, expected.find(' '));
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string lastAlike;
    while (readLine(deadline)) {
        if (lines.back() == expected) {
            return expected;
        }
        if (lines.back().rfind(firstWord, 0) == 0) {
            lastAlike = lines.back();
        }
    }
    return lastAlike;
}

bool LineProcess::write(const std::string &text) {
    std::size_t written = 0;
    while (input_ >= 0 && written < text.size()) {
        ssize_t count = ::write(input_, text.data() + written, text.size() - written);
        if (count <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(count);
    }
    return written == text.size();
}

} // namespace velto::testing
