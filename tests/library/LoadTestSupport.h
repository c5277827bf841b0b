#pragma once

#include "library/LoadResult.h"
#include "model/Document.h"
#include "model/Page.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

// Helpers of the load tests: reading a load's result and comparing folders before and after.
namespace velto::loadtesting {

/// Every file below the folder, hidden ones and ".velto" included, with its bytes.
inline std::map<std::string, std::string> folderSnapshot(const std::filesystem::path &folder) {
    std::map<std::string, std::string> files;
    if (!std::filesystem::exists(folder)) {
        return files;
    }
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder)) {
        auto relative = entry.path().lexically_relative(folder).generic_string();
        if (entry.is_directory()) {
            files[relative + "/"] = "";
            continue;
        }
        std::ifstream file(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        files[relative] = bytes.str();
    }
    return files;
}

/// The names of the entries of a directory; empty when it does not exist.
inline std::vector<std::string> entryNames(const std::filesystem::path &directory) {
    std::vector<std::string> names;
    if (std::filesystem::exists(directory)) {
        for (const auto &entry : std::filesystem::directory_iterator(directory)) {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

/// The current page followed by the other pages.
inline std::vector<VeltoPage> allPages(const VeltoDocument &document) {
    std::vector<VeltoPage> pages{document.currentPage};
    pages.insert(pages.end(), document.pages.begin(), document.pages.end());
    return pages;
}

/// The page whose file is at the path; nothing when none is.
inline std::optional<VeltoPage> pageAt(const VeltoDocument &document, const std::string &relativeFilePath) {
    for (const auto &page : allPages(document)) {
        if (page.relativeFilePath == relativeFilePath) {
            return page;
        }
    }
    return std::nullopt;
}

inline std::optional<VeltoPage> pageWithID(const VeltoDocument &document, const Uuid &id) {
    for (const auto &page : allPages(document)) {
        if (page.id == id) {
            return page;
        }
    }
    return std::nullopt;
}

inline std::string describe(const VeltoLibraryLoadResult &result) {
    if (result.asLoaded() != nullptr) {
        return "loaded";
    }
    if (const auto *issue = result.failureIssue()) {
        return "failed: " + issue->message;
    }
    return "missing";
}

} // namespace velto::loadtesting

/// The document of a loaded result; fails the test for any other result.
#define ASSERT_LOADED(result) ASSERT_NE((result).asLoaded(), nullptr) << velto::loadtesting::describe(result)
