// velto-library-driver: runs single page-library operations from the command line, for the project's
// multi-process tests and for anyone who wants to see what the library does with a file.
//
//   velto-library-driver page-parse                the page file on standard input, as JSON
//   velto-library-driver page-write [--id UUID] [--archived] [--conflict-of UUID]
//                                                  the page file on standard input with this metadata
//   velto-library-driver merge BASE OURS THEIRS    the three files merged; exit status 1 on conflict
//   velto-library-driver checksum                  content checksum of standard input
//   velto-library-driver lock DIR --seconds S [--shared]
//                                                  holds the library lock of DIR for S seconds
//   velto-library-driver load DIR [--now ISO-8601] the full load of DIR, as JSON
//   velto-library-driver load-changes DIR PATH… [--now ISO-8601]
//                                                  a full load, then the incremental load of the paths
//   velto-library-driver write DIR [--pause-ms N] < ops.json
//                                                  a full load, then one save of the operations (WriteCommands.h);
//                                                  exit status 1 when a page could not be saved ("pagesNotSaved")
//                                                  (a pause is announced on stderr: "paused before the save")
//                                                  [--kill-before-exchange] [--kill-after-exchange]
//                                                  [--append-before-exchange TEXT]: killed just before or after the
//                                                  save swaps its first page file in; TEXT appended to that file
//                                                  just before, as another program's write
//   velto-library-driver copy SRC DST [--kill-at-rename N]
//                                                  copies SRC into DST; killed just before its N-th rename
//   velto-library-driver recover DIR [--fail-at-step N] | assess DIR
//
// Errors go to standard error with exit status 2. A write that saved some pages but not all prints its result and
// exits with status 1.

#include "LoadCommands.h"
#include "WriteCommands.h"
#include "library/folder/LibraryFolder.h"
#include "library/folder/LibraryLock.h"
#include "library/folder/PageFileNaming.h"
#include "model/PageFileContent.h"
#include "model/ThreeWayMerge.h"
#include "platform/JsonCoding.h"
#include "platform/JsonValues.h"
#include "platform/Uuid.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string standardInput() {
    std::ostringstream text;
    text << std::cin.rdbuf();
    return text.str();
}

std::string fileText(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot read “" + path + "”");
    }
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

velto::Uuid uuidArgument(const std::string &text) {
    auto uuid = velto::Uuid::parse(text);
    if (!uuid) {
        throw UsageError("“" + text + "” is not a UUID");
    }
    return *uuid;
}

velto::Json optionalUuidJson(const std::optional<velto::Uuid> &uuid) {
    return uuid ? velto::uuidJson(*uuid) : velto::Json(nullptr);
}

int pageParse(const std::vector<std::string> &arguments) {
    if (!arguments.empty()) {
        throw UsageError("page-parse takes no arguments");
    }
    auto content = velto::VeltoPageFileContent::parse(standardInput());
    velto::Json json = velto::Json::object();
    json["frontMatter"] = content.frontMatter ? velto::Json(*content.frontMatter) : velto::Json(nullptr);
    json["body"] = std::string(content.body.text());
    json["lineEnding"] = content.lineEnding;
    json["pageID"] = optionalUuidJson(content.veltoPageID());
    json["isArchived"] = content.isArchived();
    json["conflictOf"] = optionalUuidJson(content.conflictOriginalPageID());
    std::cout << velto::encodeJSON(json) << "\n";
    return 0;
}

int pageWrite(const std::vector<std::string> &arguments) {
    std::optional<velto::Uuid> pageID;
    std::optional<velto::Uuid> conflictOf;
    bool archived = false;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const auto &argument = arguments[index];
        if (argument == "--archived") {
            archived = true;
        } else if (argument == "--id" && index + 1 < arguments.size()) {
            pageID = uuidArgument(arguments[++index]);
        } else if (argument == "--conflict-of" && index + 1 < arguments.size()) {
            conflictOf = uuidArgument(arguments[++index]);
        } else {
            throw UsageError("usage: page-write [--id UUID] [--archived] [--conflict-of UUID]");
        }
    }
    auto content = velto::VeltoPageFileContent::parse(standardInput());
    content.writeVeltoMetadata(pageID, archived, conflictOf);
    std::cout << content.fileContents();
    return 0;
}

int merge(const std::vector<std::string> &arguments) {
    if (arguments.size() != 3) {
        throw UsageError("usage: merge BASE OURS THEIRS");
    }
    auto merged =
        velto::VeltoThreeWayMerge::merge(fileText(arguments[0]), fileText(arguments[1]), fileText(arguments[2]));
    if (!merged) {
        return 1;
    }
    std::cout << *merged;
    return 0;
}

int checksum(const std::vector<std::string> &arguments) {
    if (!arguments.empty()) {
        throw UsageError("checksum takes no arguments");
    }
    if (auto value = VeltoPageLibrary::contentChecksum(standardInput())) {
        std::cout << *value << "\n";
    }
    return 0;
}

double secondsArgument(const std::string &text) {
    std::size_t used = 0;
    double seconds = -1;
    try {
        seconds = std::stod(text, &used);
    } catch (const std::logic_error &) {
        used = 0;
    }
    if (used != text.size() || !std::isfinite(seconds) || seconds < 0) {
        throw UsageError("--seconds needs a number of seconds, not “" + text + "”");
    }
    return seconds;
}

// Prints "locked" once the lock is held, so that a test can wait for it instead of guessing.
int lock(const std::vector<std::string> &arguments) {
    std::string folder;
    double seconds = -1;
    auto mode = VeltoPageLibrary::LibraryLockMode::exclusive;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const auto &argument = arguments[index];
        if (argument == "--shared") {
            mode = VeltoPageLibrary::LibraryLockMode::shared;
        } else if (argument == "--seconds" && index + 1 < arguments.size()) {
            seconds = secondsArgument(arguments[++index]);
        } else if (folder.empty() && !argument.starts_with("--")) {
            folder = argument;
        } else {
            throw UsageError("unexpected argument “" + argument + "”");
        }
    }
    if (folder.empty() || seconds < 0) {
        throw UsageError("usage: lock DIR --seconds S [--shared]");
    }
    // As a save does, so that the lock of a folder without a library yet can be held too; a folder that is
    // not there stays an error.
    if (std::filesystem::is_directory(folder)) {
        VeltoPageLibrary::createLibraryDirectories(folder);
    }
    VeltoPageLibrary::withLibraryLocks({folder}, mode, [&] {
        std::cout << "locked" << std::endl;
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    });
    return 0;
}

int run(const std::vector<std::string> &arguments) {
    if (arguments.empty()) {
        throw UsageError("usage: velto-library-driver page-parse | page-write | merge | checksum | lock | load | "
                         "load-changes | write | copy | recover | assess");
    }
    std::vector<std::string> rest(std::next(arguments.begin()), arguments.end());
    const auto &command = arguments.front();
    if (command == "page-parse") {
        return pageParse(rest);
    }
    if (command == "page-write") {
        return pageWrite(rest);
    }
    if (command == "merge") {
        return merge(rest);
    }
    if (command == "checksum") {
        return checksum(rest);
    }
    if (command == "lock") {
        return lock(rest);
    }
    if (command == "load") {
        return runLoad(rest);
    }
    if (command == "load-changes") {
        return runLoadChanges(rest);
    }
    if (command == "write") {
        return runWrite(rest);
    }
    if (command == "copy") {
        return runCopy(rest);
    }
    if (command == "recover") {
        return runRecover(rest);
    }
    if (command == "assess") {
        return runAssess(rest);
    }
    throw UsageError("unknown command “" + command + "”");
}

} // namespace

int main(int argc, char **argv) {
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception &error) {
        std::cerr << "velto-library-driver: " << error.what() << "\n";
        return 2;
    }
}
