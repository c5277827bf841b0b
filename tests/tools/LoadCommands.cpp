#include "LoadCommands.h"

#include "library/folder/PageFileLocation.h"
#include "library/folder/PageFileNaming.h"
#include "library/load/FullLoad.h"
#include "library/load/IncrementalLoad.h"
#include "library/load/PageAvailability.h"
#include "library/load/PageLoading.h"
#include "model/LibraryPageRecord.h"
#include "platform/Clock.h"
#include "platform/Date.h"
#include "platform/JsonCoding.h"
#include "platform/JsonValues.h"

#include <iostream>
#include <optional>
#include <set>
#include <stdexcept>

namespace {

struct LoadArguments {
    std::string folder;
    std::vector<std::string> paths;
    velto::Date now = velto::systemClock().now();
};

LoadArguments loadArguments(const std::vector<std::string> &arguments, const char *usage) {
    LoadArguments parsed;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const auto &argument = arguments[index];
        if (argument == "--now" && index + 1 < arguments.size()) {
            auto date = velto::parseISO8601(arguments[++index]);
            if (!date) {
                throw std::invalid_argument("--now needs an ISO-8601 date, not “" + arguments[index] + "”");
            }
            parsed.now = *date;
        } else if (argument.starts_with("--")) {
            throw std::invalid_argument(usage);
        } else if (parsed.folder.empty()) {
            parsed.folder = argument;
        } else {
            parsed.paths.push_back(argument);
        }
    }
    if (parsed.folder.empty()) {
        throw std::invalid_argument(usage);
    }
    return parsed;
}

const char *kindName(velto::VeltoStoreRecoveryIssue::Kind kind) {
    switch (kind) {
    case velto::VeltoStoreRecoveryIssue::Kind::unreadable:
        return "unreadable";
    case velto::VeltoStoreRecoveryIssue::Kind::corrupt:
        return "corrupt";
    case velto::VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable:
        return "temporarilyUnavailable";
    }
    return "unreadable";
}

const char *remedyName(velto::VeltoStoreRecoveryIssue::Remedy remedy) {
    switch (remedy) {
    case velto::VeltoStoreRecoveryIssue::Remedy::rewriteLibrary:
        return "rewriteLibrary";
    case velto::VeltoStoreRecoveryIssue::Remedy::updateVelto:
        return "updateVelto";
    case velto::VeltoStoreRecoveryIssue::Remedy::changeFolder:
        return "changeFolder";
    }
    return "rewriteLibrary";
}

bool pageIsArchived(const velto::VeltoPage &page) {
    if (const auto *content = page.content.asLoaded()) {
        return content->isArchived();
    }
    if (page.content.asArchivedSummary() != nullptr) {
        return true;
    }
    return page.content.asUnavailable()->isArchived.value_or(false);
}

/// A page still on its way is temporarily unavailable; any other page is available when its file exists.
const char *availabilityName(const velto::VeltoPage &page, const std::filesystem::path &folder) {
    if (page.content.asUnavailable() != nullptr) {
        return "temporarilyUnavailable";
    }
    try {
        auto name = VeltoPageLibrary::pageFileName(VeltoPageLibrary::namingRecord(page));
        auto url = VeltoPageLibrary::pageURL(name, folder);
        if (VeltoPageLibrary::fileAvailability(url) == VeltoPageFileAvailability::available) {
            return "available";
        }
    } catch (const std::exception &) {
        // A page without a reachable file is reported missing.
    }
    return "missing";
}

const char *contentKindName(const velto::VeltoPage &page) {
    if (page.content.asLoaded() != nullptr) {
        return "content";
    }
    if (page.content.asArchivedSummary() != nullptr) {
        return "archivedSummary";
    }
    return "unavailable";
}

velto::Json pageJson(const velto::VeltoPage &loadedPage, const std::filesystem::path &folder) {
    // A load may summarise an archived page from its record alone; the preview is read the way the archive
    // menu reads it, when it is shown. Other pages are taken as they are, without a copy of their text.
    std::optional<velto::VeltoPage> withPreview;
    if (loadedPage.content.asArchivedSummary() != nullptr) {
        try {
            withPreview = VeltoPageLibrary::loadArchivedPreview(loadedPage, folder, velto::defaultFileSystem(),
                                                                VeltoPageLibrary::productionAvailability());
        } catch (const std::exception &) {
            // Without a readable file the summary keeps its empty preview.
        }
    }
    const velto::VeltoPage &page = withPreview ? *withPreview : loadedPage;
    velto::Json json = velto::Json::object();
    json["id"] = page.id.uppercaseText();
    // The file the page lives in, also for a page whose name the library makes from its date, slug and id.
    json["relativeFilePath"] = VeltoPageLibrary::pageFileName(VeltoPageLibrary::namingRecord(page));
    json["isArchived"] = pageIsArchived(page);
    json["availability"] = availabilityName(page, folder);
    json["kind"] = contentKindName(page);
    json["text"] = page.visibleText();
    return json;
}

// Only a load that met such files says so, so that every other load prints what it always printed.
void addUnreadableFiles(velto::Json &json, const std::vector<VeltoUnreadablePageFile> &files) {
    if (files.empty()) {
        return;
    }
    velto::Json unreadable = velto::Json::array();
    for (const auto &file : files) {
        unreadable.push_back({{"relativePath", file.relativePath}, {"reason", file.reason}});
    }
    json["unreadableFiles"] = unreadable;
}

velto::Json resultJson(const VeltoLibraryLoadResult &result, const std::filesystem::path &folder) {
    velto::Json json = velto::Json::object();
    if (const auto *loaded = result.asLoaded()) {
        json["outcome"] = "loaded";
        json["currentPageID"] = loaded->document.currentPage.id.uppercaseText();
        velto::Json pages = velto::Json::array();
        pages.push_back(pageJson(loaded->document.currentPage, folder));
        for (const auto &page : loaded->document.pages) {
            pages.push_back(pageJson(page, folder));
        }
        json["pages"] = pages;
        addUnreadableFiles(json, loaded->unreadableFiles);
    } else if (const auto *issue = result.failureIssue()) {
        json["outcome"] = "failed";
        json["recoveryIssue"] = {
            {"kind", kindName(issue->kind)}, {"message", issue->message}, {"remedy", remedyName(issue->remedy)}};
    } else {
        json["outcome"] = "missing";
        addUnreadableFiles(json, result.asMissing()->unreadableFiles);
    }
    return json;
}

int printed(const VeltoLibraryLoadResult &result, const std::filesystem::path &folder) {
    std::cout << velto::encodeJSON(resultJson(result, folder)) << "\n";
    return 0;
}

} // namespace

int runLoad(const std::vector<std::string> &arguments) {
    auto parsed = loadArguments(arguments, "usage: load DIR [--now ISO-8601]");
    if (!parsed.paths.empty()) {
        throw std::invalid_argument("usage: load DIR [--now ISO-8601]");
    }
    return printed(VeltoPageLibrary::load(parsed.folder, velto::defaultFileSystem(), parsed.now), parsed.folder);
}

int runLoadChanges(const std::vector<std::string> &arguments) {
    const char *usage = "usage: load-changes DIR PATH… [--now ISO-8601]";
    auto parsed = loadArguments(arguments, usage);
    if (parsed.paths.empty()) {
        throw std::invalid_argument(usage);
    }
    auto full = VeltoPageLibrary::load(parsed.folder, velto::defaultFileSystem(), parsed.now);
    const auto *loaded = full.asLoaded();
    if (loaded == nullptr) {
        // Without a document there is nothing to load the changes into; the full load says why.
        return printed(full, parsed.folder);
    }
    std::set<std::string> paths(parsed.paths.begin(), parsed.paths.end());
    auto changes =
        VeltoPageLibrary::loadChanges(parsed.folder, velto::defaultFileSystem(), loaded->document, paths, parsed.now);
    return printed(changes, parsed.folder);
}
