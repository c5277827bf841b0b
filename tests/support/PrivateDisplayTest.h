#pragma once

#include "support/LineProcess.h"
#include "support/PrivateXServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace velto::testing {

/// The fixture of tests that drive a program's window on an X server of their own, with xdotool (and xclip).
/// A test derived from it that overrides SetUp calls this one first and returns when it skipped or failed.
class PrivateDisplayTest : public ::testing::Test {
protected:
    /// With a program, SetUp starts it once the server runs and gives its window the focus.
    explicit PrivateDisplayTest(std::string windowProgram = {})
        : windowProgram_(std::move(windowProgram)) {}

    /// Skips when one of the programs is missing; starts the server (and the window's program).
    void SetUp() override;
    virtual std::vector<std::string> requiredPrograms() const { return {"Xvfb", "xdotool"}; }

    /// Starts a program on the server's display; its output lines are read as they come.
    std::unique_ptr<LineProcess> startProgram(const std::string &path, const std::vector<std::string> &arguments = {});
    /// Waits for the program's "ready <window>" line and gives that window the keyboard focus; answers the
    /// window, or "" when the program never became ready or the focus did not move.
    std::string focusWhenReady(LineProcess &program);
    /// Runs xdotool with the arguments to its end; answers its exit status.
    int xdotool(const std::vector<std::string> &arguments);

    std::unique_ptr<PrivateXServer> server;
    /// The window's program and its window, when the fixture was made with one.
    std::unique_ptr<LineProcess> program;
    std::string window;

private:
    std::string windowProgram_;
};

} // namespace velto::testing
