#pragma once

#include "support/ChildProcess.h"
#include "support/GenerousWait.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velto::testing {

/// An X server of the test's own (Xvfb). It picks a free display itself and reports the number once it accepts
/// connections, so that the start waits for the server and never for a fixed time. Stopped when dropped,
/// together with the clients that serve its selections.
class PrivateXServer {
public:
    /// Starts Xvfb with the environment and the extra arguments (a screen size, say); its output goes to the log.
    explicit PrivateXServer(const Environment &environment, const std::vector<std::string> &extraArguments = {},
                            const std::string &logFile = "/dev/null");
    ~PrivateXServer();

    /// Whether the server reported its display; when not, failure() says why.
    bool isReady() const { return !display_.empty(); }
    const std::string &failure() const { return failure_; }
    /// ":<number>"
    const std::string &display() const { return display_; }

    /// The environment of the test's process with DISPLAY naming this server and Qt on its X11 platform: for
    /// X tools and the test's own programs.
    Environment clientEnvironment() const;
    /// Runs an X tool (xdotool, xclip, setxkbmap) on this display to its end, with `input` on its standard input.
    ToolResult run(const std::vector<std::string> &arguments, const std::string &input = {}) const;

    /// Makes the bytes the content of the selection ("clipboard", "primary") as the type (xclip's text types
    /// when empty), served by xclip until another client takes the selection. Answers once another client
    /// reads them back, false when none does in time.
    bool offerSelection(const std::string &selection, const std::string &type, const std::string &bytes);
    /// What another client reads from the selection ("" when nobody owns it).
    std::string selectionText(const std::string &selection, const std::string &type = "") const;
    /// Reads the selection until it is `expected`; answers the last text read.
    std::string waitForSelection(const std::string &selection, const std::string &expected) const;

private:
    std::unique_ptr<ChildProcess> server_;
    std::map<std::string, std::unique_ptr<ChildProcess>> selectionOwners_;
    std::string display_;
    std::string failure_;
};

/// The first of the programs that is not on the PATH; nothing when all are.
std::optional<std::string> firstMissingProgram(const std::vector<std::string> &programs);

} // namespace velto::testing
