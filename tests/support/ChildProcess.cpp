#include "support/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace velto::testing {

namespace {

std::vector<char *> pointers(std::vector<std::string> &texts) {
    std::vector<char *> result;
    for (std::string &text : texts) {
        result.push_back(text.data());
    }
    result.push_back(nullptr);
    return result;
}

std::vector<std::string> environmentLines(const Environment &environment) {
    std::vector<std::string> lines;
    for (const auto &[name, value] : environment) {
        lines.push_back(name + "=" + value);
    }
    return lines;
}

/// fork and exec with the given descriptors as 0, 1, 2 (and 3 when given); -1 for 0, 1 or 2 means /dev/null.
pid_t spawn(const std::vector<std::string> &arguments, const Environment &environment, int input, int output,
            int errors, int report) {
    std::vector<std::string> argumentTexts = arguments;
    std::vector<std::string> environmentTexts = environmentLines(environment);
    std::vector<char *> argv = pointers(argumentTexts);
    std::vector<char *> envp = pointers(environmentTexts);
    pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    // The child: only async-signal-safe calls from here on.
    int devnull = open("/dev/null", O_RDWR);
    dup2(input >= 0 ? input : devnull, 0);
    dup2(output >= 0 ? output : devnull, 1);
    dup2(errors >= 0 ? errors : devnull, 2);
    if (report >= 0) {
        dup2(report, 3);
    }
    setpgid(0, 0); // a group of its own, so that the test's terminal signals never reach it
    execvpe(argv[0], argv.data(), envp.data());
    _exit(127);
}

int exitStatusFrom(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

} // namespace

Environment currentEnvironment() {
    Environment environment;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        std::string text = *entry;
        auto equals = text.find('=');
        if (equals != std::string::npos) {
            environment[text.substr(0, equals)] = text.substr(equals + 1);
        }
    }
    return environment;
}

bool waitUntil(const std::function<bool()> &condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(interval);
    }
}

ChildProcess::ChildProcess(const std::vector<std::string> &arguments, const Environment &environment,
                           const std::string &outputFile, bool reportFd) {
    int output = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    int pipeEnds[2] = {-1, -1};
    if (reportFd && pipe2(pipeEnds, O_CLOEXEC) != 0) {
        close(output);
        return;
    }
    pid_ = spawn(arguments, environment, -1, output, output, reportFd ? pipeEnds[1] : -1);
    close(output);
    if (reportFd) {
        close(pipeEnds[1]);
        reportRead_ = pipeEnds[0];
    }
}

ChildProcess::ChildProcess(const std::vector<std::string> &arguments, const Environment &environment,
                           Descriptors descriptors)
    : pid_(spawn(arguments, environment, descriptors.input, descriptors.output, descriptors.errors, -1)) {}

ChildProcess::~ChildProcess() {
    if (isRunning()) {
        kill(pid_, SIGKILL);
        waitForExit(std::chrono::milliseconds(5000));
    }
    if (reportRead_ >= 0) {
        close(reportRead_);
    }
}

std::optional<std::string> ChildProcess::readReport(std::chrono::milliseconds timeout) {
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (reportRead_ >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        pollfd descriptor{reportRead_, POLLIN, 0};
        if (poll(&descriptor, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char character = 0;
        if (read(reportRead_, &character, 1) != 1) {
            return std::nullopt;
        }
        if (character == '\n') {
            return line;
        }
        line += character;
    }
    return std::nullopt;
}

void ChildProcess::signal(int signalNumber) {
    if (pid_ > 0 && !exitStatus_) {
        kill(pid_, signalNumber);
    }
}

bool ChildProcess::isRunning() {
    if (pid_ <= 0 || exitStatus_) {
        return false;
    }
    int status = 0;
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
        exitStatus_ = exitStatusFrom(status);
        return false;
    }
    return done == 0;
}

std::optional<int> ChildProcess::waitForExit(std::chrono::milliseconds timeout) {
    waitUntil([this] { return !isRunning(); }, timeout, std::chrono::milliseconds(2));
    return exitStatus_;
}

ToolResult runTool(const std::vector<std::string> &arguments, const Environment &environment,
                   std::chrono::milliseconds timeout, const std::string &standardInput) {
    ToolResult result;
    int outputPipe[2];
    int inputPipe[2];
    if (pipe2(outputPipe, O_CLOEXEC) != 0 || pipe2(inputPipe, O_CLOEXEC) != 0) {
        return result;
    }
    int devnull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    pid_t pid = spawn(arguments, environment, inputPipe[0], outputPipe[1], devnull, -1);
    close(devnull);
    close(outputPipe[1]);
    close(inputPipe[0]);
    if (!standardInput.empty()) {
        [[maybe_unused]] auto written = write(inputPipe[1], standardInput.data(), standardInput.size());
    }
    close(inputPipe[1]);
    auto deadline = std::chrono::steady_clock::now() + timeout;
    char buffer[4096];
    while (true) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            kill(pid, SIGKILL);
            break;
        }
        pollfd descriptor{outputPipe[0], POLLIN, 0};
        if (poll(&descriptor, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        ssize_t count = read(outputPipe[0], buffer, sizeof buffer);
        if (count <= 0) {
            break; // end of output: the tool (and anything it left running) closed it
        }
        result.output.append(buffer, static_cast<std::size_t>(count));
    }
    close(outputPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitStatus = exitStatusFrom(status);
    return result;
}

bool hasProgram(const std::string &name) {
    const char *path = std::getenv("PATH");
    std::stringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (access((folder + "/" + name).c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

std::string readWholeFile(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace velto::testing
