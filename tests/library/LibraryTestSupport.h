#pragma once

#include "model/LibraryErrors.h"
#include "model/WriterState.h"
#include "platform/FileSystem.h"
#include "platform/Uuid.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

extern char **environ;

// What the library's tests do on disk again and again: journals, another program acting in the middle of a
// read, expected metadata errors, runs of the test driver.
namespace velto::librarytesting {

/// ".velto/writers/" + the writer in lower case + ".json": where the writer's journal lives.
inline std::string journalFileName(const Uuid &writerID) {
    return ".velto/writers/" + writerID.lowercaseText() + ".json";
}

/// Writes the journals as a load would have left them.
inline void storeJournals(const testing::TemporaryFolder &folder, const std::vector<VeltoWriterState> &states) {
    for (const auto &state : states) {
        folder.writeFile(journalFileName(state.writerID), state.encode());
    }
}

/// Fails the test unless the operation throws the metadata error of that kind.
inline void expectMetadataError(const std::function<void()> &operation, LibraryMetadataError::Kind kind) {
    try {
        operation();
        ADD_FAILURE() << "expected a metadata error";
    } catch (const LibraryMetadataError &error) {
        EXPECT_EQ(error.kind(), kind) << error.what();
    }
}

/// The real file system, except that an action of the test runs just before the n-th read of one path, as
/// another program (a sync client, another writer) would act between a library's looking and its reading.
class ChangedBeforeReadFileSystem : public PosixFileSystem {
public:
    ChangedBeforeReadFileSystem(std::filesystem::path path, std::function<void()> change, int changedRead = 1)
        : path(std::move(path))
        , change(std::move(change))
        , changedRead(changedRead) {}

protected:
    void beforeOperation(FileOperation operation, const std::filesystem::path &operand) override {
        std::lock_guard guard(mutex);
        if (operation == FileOperation::read && operand == path && ++reads == changedRead) {
            change();
        }
    }

private:
    std::filesystem::path path;
    std::function<void()> change;
    int changedRead;
    int reads = 0;
    std::mutex mutex;
};

struct DriverRun {
    int exitStatus = -1;
    std::string output;
};

/// Runs the test driver as a process of its own with the text on standard input; collects standard output.
inline DriverRun runDriver(std::vector<std::string> arguments, const std::string &input = "") {
    std::string program = std::string(VELTO_TEST_TOOLS_DIR) + "/velto-library-driver";
    arguments.insert(arguments.begin(), program);
    testing::TemporaryFolder scratch;
    auto inputFile = scratch.writeFile("input", input);
    auto outputFile = scratch / "output";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, inputFile.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char *> argv;
    for (auto &argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    DriverRun run;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.output = scratch.readFile("output");
    }
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

} // namespace velto::librarytesting
