#pragma once

#include "platform/JsonCoding.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

extern char **environ;

// Runs the library driver as a separate process, as the reliability tests need other writers that the
// kernel can kill at any instruction.
namespace velto::reliabilitytesting {

inline std::string driverPath() {
    return std::string(VELTO_TEST_TOOLS_DIR) + "/velto-library-driver";
}

/// Whether the long variants were asked for (VELTO_LONG_TESTS=1): they run for minutes, not seconds.
inline bool longVariant() {
    const char *value = std::getenv("VELTO_LONG_TESTS");
    return value != nullptr && std::string(value) == "1";
}

/// A driver process with the given standard input (from a file, so that it never blocks on a pipe) and its
/// standard output in a file.
class DriverProcess {
public:
    DriverProcess(const std::vector<std::string> &arguments, const std::string &input, const std::string &scratch) {
        inputPath = scratch + ".in";
        outputPath = scratch + ".out";
        FILE *file = std::fopen(inputPath.c_str(), "wb");
        std::fwrite(input.data(), 1, input.size(), file);
        std::fclose(file);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, inputPath.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, (outputPath + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        std::vector<std::string> argv{driverPath()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        std::vector<char *> pointers;
        for (auto &argument : argv) {
            pointers.push_back(argument.data());
        }
        pointers.push_back(nullptr);
        if (posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, pointers.data(), environ) != 0) {
            pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }

    bool started() const { return pid > 0; }

    /// Ends the process at once, unless it has already ended; returns its exit status, or nothing when killed.
    std::optional<int> kill() {
        if (!exited) {
            ::kill(pid, SIGKILL);
        }
        return wait();
    }

    /// Waits for the process; its exit status, or nothing when a signal ended it.
    std::optional<int> wait() {
        if (!exited) {
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            exited = true;
        }
        if (WIFEXITED(status)) {
            return WEXITSTATUS(status);
        }
        return std::nullopt;
    }

    /// Whether the process has ended, without waiting.
    bool hasEnded() {
        if (!exited && ::waitpid(pid, &status, WNOHANG) == pid) {
            exited = true;
        }
        return exited;
    }

    std::string output() const { return readAll(outputPath); }
    std::string errorOutput() const { return readAll(outputPath + ".err"); }

private:
    static std::string readAll(const std::string &path) {
        std::string text;
        if (FILE *file = std::fopen(path.c_str(), "rb")) {
            char buffer[4096];
            std::size_t count;
            while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
                text.append(buffer, count);
            }
            std::fclose(file);
        }
        return text;
    }

    pid_t pid = -1;
    int status = 0;
    bool exited = false;
    std::string inputPath;
    std::string outputPath;
};

/// Runs the driver to its end: its output as JSON, or a test failure with its error output.
inline std::optional<velto::Json> runDriver(const std::vector<std::string> &arguments, const std::string &input,
                                            const std::string &scratch) {
    DriverProcess process(arguments, input, scratch);
    if (!process.started()) {
        ADD_FAILURE() << "could not start " << driverPath();
        return std::nullopt;
    }
    auto status = process.wait();
    if (status != 0) {
        ADD_FAILURE() << "driver " << arguments.front() << " failed: " << process.errorOutput();
        return std::nullopt;
    }
    return velto::decodeJSON(process.output());
}

} // namespace velto::reliabilitytesting
