#pragma once

#include "library/load/LoadResult.h"
#include "model/Document.h"
#include "model/LibraryManifest.h"
#include "model/LibraryPageRecord.h"
#include "model/Page.h"
#include "platform/Date.h"
#include "platform/Uuid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

// Helpers of the load tests: building and reading manifests, reading a load's result, setting file dates and
// comparing folders before and after.
namespace velto::loadtesting {

/// A manifest of schema 3 whose current page is the first record and whose other pages are the rest.
inline VeltoLibraryManifest manifestOf(std::vector<VeltoLibraryPageRecord> records) {
    VeltoLibraryManifest manifest;
    manifest.schemaVersion = 3;
    manifest.currentPage = records.front();
    manifest.pages.assign(records.begin() + 1, records.end());
    return manifest;
}

/// The record of the page, current or other; nothing when the manifest has none.
inline const VeltoLibraryPageRecord *recordWithID(const VeltoLibraryManifest &manifest, const Uuid &id) {
    if (manifest.currentPage.id == id) {
        return &manifest.currentPage;
    }
    for (const auto &record : manifest.pages) {
        if (record.id == id) {
            return &record;
        }
    }
    return nullptr;
}

/// The record whose file is at the path; nothing when none is.
inline const VeltoLibraryPageRecord *recordAt(const VeltoLibraryManifest &manifest, const std::string &path) {
    if (manifest.currentPage.relativeFilePath == path) {
        return &manifest.currentPage;
    }
    for (const auto &record : manifest.pages) {
        if (record.relativeFilePath == path) {
            return &record;
        }
    }
    return nullptr;
}

inline void setModificationTime(const std::filesystem::path &file, double secondsSince1970) {
    std::filesystem::last_write_time(
        file, std::filesystem::file_time_type::clock::from_sys(dateFromSecondsSince1970(secondsSince1970)));
}

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
