#include "support/PrivateXServer.h"

#include <fcntl.h>
#include <unistd.h>

namespace velto::testing {

PrivateXServer::PrivateXServer(const Environment &environment, const std::vector<std::string> &extraArguments,
                               const std::string &logFile) {
    std::vector<std::string> arguments{"Xvfb", "-displayfd", "3", "-nolisten", "tcp"};
    arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
    server_ = std::make_unique<ChildProcess>(arguments, environment, logFile, true);
    // Starting takes long on a busy machine; the report comes once the server accepts connections.
    std::optional<std::string> number = server_->readReport(2 * generousWait);
    if (!number || number->empty()) {
        failure_ = "Xvfb did not report its display";
        return;
    }
    display_ = ":" + *number;
}

PrivateXServer::~PrivateXServer() {
    selectionOwners_.clear(); // the clients go before their server
    server_.reset();
}

Environment PrivateXServer::clientEnvironment() const {
    Environment environment = currentEnvironment();
    environment["DISPLAY"] = display_;
    environment["QT_QPA_PLATFORM"] = "xcb";
    return environment;
}

ToolResult PrivateXServer::run(const std::vector<std::string> &arguments, const std::string &input) const {
    return runTool(arguments, clientEnvironment(), generousWait, input);
}

bool PrivateXServer::offerSelection(const std::string &selection, const std::string &type, const std::string &bytes) {
    // Kept in the foreground (-quiet) so that it is ours to stop; it reads the bytes from its input.
    std::vector<std::string> arguments{"xclip", "-quiet", "-selection", selection, "-i"};
    if (!type.empty()) {
        arguments.insert(arguments.end(), {"-t", type});
    }
    int inputPipe[2] = {-1, -1};
    if (pipe2(inputPipe, O_CLOEXEC) != 0) {
        return false;
    }
    selectionOwners_[selection] =
        std::make_unique<ChildProcess>(arguments, clientEnvironment(), ChildProcess::Descriptors{inputPipe[0], -1, -1});
    close(inputPipe[0]);
    std::size_t written = 0;
    while (written < bytes.size()) {
        ssize_t count = write(inputPipe[1], bytes.data() + written, bytes.size() - written);
        if (count <= 0) {
            break;
        }
        written += static_cast<std::size_t>(count);
    }
    close(inputPipe[1]);
    // xclip takes the selection only after reading all its input: a paste before then would find the old owner.
    return waitUntil([&] { return selectionText(selection, type) == bytes; }, generousWait,
                     std::chrono::milliseconds(20));
}

std::string PrivateXServer::selectionText(const std::string &selection, const std::string &type) const {
    std::vector<std::string> arguments{"xclip", "-o", "-selection", selection};
    if (!type.empty()) {
        arguments.insert(arguments.end(), {"-t", type});
    }
    return run(arguments).output;
}

std::string PrivateXServer::waitForSelection(const std::string &selection, const std::string &expected) const {
    std::string found;
    waitUntil(
        [&] {
            found = selectionText(selection);
            return found == expected;
        },
        generousWait, std::chrono::milliseconds(20));
    return found;
}

std::optional<std::string> firstMissingProgram(const std::vector<std::string> &programs) {
    for (const std::string &program : programs) {
        if (!hasProgram(program)) {
            return program;
        }
    }
    return std::nullopt;
}

} // namespace velto::testing
