#pragma once

#include "ReliabilitySupport.h"

#include "platform/JsonCoding.h"
#include "support/TemporaryFolder.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// What the tests that drive the library from outside, as another process, share: running the driver, and looking
// into the Pages folder and the driver's answers afterwards.
namespace velto::drivertesting {

/// Runs the driver to its end with its scratch files in the folder: its output, or null (and a test failure) when
/// it did not start or failed.
inline Json driver(const std::vector<std::string> &arguments, const velto::testing::TemporaryFolder &scratch,
                   const std::string &input = "") {
    return velto::reliabilitytesting::runDriver(arguments, input, (scratch / "run").string()).value_or(Json());
}

inline std::string fileBytes(const std::filesystem::path &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

/// How many regular files of the folder or below hold the text. Links are not followed, so that a file reached
/// only through a link out of the folder never counts as one of the folder's.
inline int filesBelowHolding(const std::filesystem::path &folder, const std::string &text) {
    int count = 0;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.symlink_status().type() == std::filesystem::file_type::regular &&
            fileBytes(entry.path()).find(text) != std::string::npos) {
            ++count;
        }
    }
    return count;
}

inline bool someFileBelowHolds(const std::filesystem::path &folder, const std::string &text) {
    return filesBelowHolding(folder, text) > 0;
}

/// The id of the page at the path in a load's answer; empty when no page is there.
inline std::string idAt(const Json &loaded, const std::string &relativePath) {
    for (const auto &page : loaded.value("pages", Json::array())) {
        if (page.at("relativeFilePath") == relativePath) {
            return page.at("id").get<std::string>();
        }
    }
    return "";
}

} // namespace velto::drivertesting
