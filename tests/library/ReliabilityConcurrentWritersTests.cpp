#include "ReliabilitySupport.h"
#include "WriteTestSupport.h"

#include "library/folder/PageFileNaming.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <random>
#include <set>
#include <thread>

using namespace velto;
using namespace velto::reliabilitytesting;
using velto::testing::TemporaryFolder;

namespace {

constexpr int writerCount = 3;

Json insertion(const std::string &after, const std::string &line) {
    return {{"after", after}, {"line", line}};
}

// Three processes that each load, add lines to their own page, to their own section of a shared page and at
// one shared place of another page, pause, and save. Every line of every save that returned must be in the
// library at the end: in its page, merged, or in a conflict copy.
TEST(ReliabilityConcurrentWriters, EveryLineASaveReturnedSurvivesInItsPageAMergeOrAConflictCopy) {
    TemporaryFolder folder;
    auto library = (folder / "library").string();
    std::string sections;
    for (int writer = 0; writer < writerCount; ++writer) {
        sections += "== w" + std::to_string(writer) + " ==\\npad\\n";
    }
    auto setup =
        runDriver({"write", library},
                  R"({"newPages": ["own 0\n", "own 1\n", "own 2\n", ")" + sections + R"(", "== shared ==\nend\n"]})",
                  (folder / "setup").string());
    ASSERT_TRUE(setup);
    std::vector<std::string> pageIDs;
    for (const auto &id : setup->at("newPageIDs")) {
        pageIDs.push_back(id.get<std::string>());
    }
    const std::string &sectioned = pageIDs[3];
    const std::string &shared = pageIDs[4];

    const int saves = longVariant() ? 40 : 5;
    std::mutex mutex;
    std::vector<std::string> returnedLines;
    std::vector<std::string> failures;
    std::set<std::string> conflictCopies;
    int mergedSaves = 0;
    auto writerLoop = [&](int writer) {
        std::mt19937 random(static_cast<unsigned>(writer * 7919 + 1));
        std::uniform_int_distribution<int> pause(0, 30);
        auto name = "w" + std::to_string(writer);
        for (int n = 0; n < saves; ++n) {
            auto suffix = "-" + std::to_string(n);
            std::vector<std::string> lines{name + "-own" + suffix, name + "-section" + suffix,
                                           name + "-shared" + suffix};
            Json operations = {{"insertLines",
                                {{pageIDs[writer], Json::array({insertion("", lines[0])})},
                                 {sectioned, Json::array({insertion("== " + name + " ==", lines[1])})},
                                 {shared, Json::array({insertion("== shared ==", lines[2])})}}}};
            DriverProcess process({"write", library, "--pause-ms", std::to_string(pause(random))},
                                  encodeJSON(operations), (folder / name).string());
            auto status = process.wait();
            std::lock_guard lock(mutex);
            if (status != 0) {
                failures.push_back(process.errorOutput());
                continue;
            }
            returnedLines.insert(returnedLines.end(), lines.begin(), lines.end());
            auto result = decodeJSON(process.output());
            mergedSaves += result.at("mergedPageIDs").empty() ? 0 : 1;
            for (const auto &conflict : result.at("conflicts")) {
                conflictCopies.insert(conflict.at("preservedPageID").get<std::string>());
            }
        }
    };
    std::vector<std::thread> writers;
    for (int writer = 0; writer < writerCount; ++writer) {
        writers.emplace_back(writerLoop, writer);
    }
    for (auto &writer : writers) {
        writer.join();
    }

    std::cout << returnedLines.size() / 3 << " saves returned, " << mergedSaves << " merged, " << conflictCopies.size()
              << " conflict copies\n";
    EXPECT_TRUE(failures.empty()) << failures.front();
    EXPECT_GT(mergedSaves + static_cast<int>(conflictCopies.size()), 0)
        << "no save met another writer's change: the writers never overlapped, and the test proved nothing";
    auto document = writetesting::loadedDocument(library);
    std::string everything;
    for (const auto &page : writetesting::allPagesOf(document)) {
        everything += page.visibleText() + "\n";
        if (conflictCopies.contains(page.id.uppercaseText())) {
            EXPECT_TRUE(page.content.asLoaded() && page.content.asLoaded()->conflictOriginalPageID());
        }
    }
    for (const auto &line : returnedLines) {
        EXPECT_NE(everything.find(line + "\n"), std::string::npos) << line << " was lost";
    }
}

// Two writers add lines at the end of a page while another program appends to its file, as a shell's ">>" does.
// A save that meets an append fails; one that had made a conflict copy by then takes it back, or names it. Every
// line of a save that returned is in the page or a copy some save named, and the library holds no other page.
TEST(ReliabilityConcurrentWriters, FailedSavesLeaveNoPageThatNoSaveNamed) {
    TemporaryFolder folder;
    auto library = folder / "library";
    auto setup = runDriver({"write", library.string()}, R"({"newPages": ["end\n"]})", (folder / "setup").string());
    ASSERT_TRUE(setup);
    const std::string page = setup->at("newPageIDs")[0].get<std::string>();
    std::set<std::string> namedPages; // the new page, the empty one the first save started from, and copies named
    for (const auto &loaded : writetesting::allPagesOf(writetesting::loadedDocument(library))) {
        namedPages.insert(loaded.id.uppercaseText());
    }
    auto created = writetesting::pageCopy(writetesting::loadedDocument(library), *Uuid::parse(page));
    auto pageFile = library / VeltoPageLibrary::pageFileName(VeltoLibraryPageRecord::fromPage(*created));

    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(longVariant() ? 60 : 4);
    std::mutex mutex;
    std::vector<std::string> returnedLines;
    std::vector<std::string> failures;
    auto writerLoop = [&](const std::string &name) {
        for (int n = 0; std::chrono::steady_clock::now() < end; ++n) {
            auto line = name + "-" + std::to_string(n);
            // At the end, where the other program appends: the edits meet, and a save that finds it keeps a copy.
            Json operations = {{"insertLines", {{page, Json::array({insertion("end", line)})}}}};
            DriverProcess process({"write", library.string(), "--pause-ms", std::to_string(n % 30)},
                                  encodeJSON(operations), (folder / name).string());
            bool saved = process.wait() == 0;
            auto output = decodeJSON(process.output());
            std::lock_guard lock(mutex);
            (saved ? returnedLines : failures).push_back(saved ? line : process.errorOutput());
            for (const auto &conflict : output.at(saved ? "conflicts" : "keptConflicts")) {
                namedPages.insert(conflict.at("preservedPageID").get<std::string>());
            }
        }
    };
    std::atomic<bool> writing = true;
    std::thread appender([&] {
        for (int n = 0; writing; ++n) {
            std::ofstream(pageFile, std::ios::app) << "appended-" << n << "\n";
            std::this_thread::sleep_for(std::chrono::milliseconds(30)); // a shell loop's pace, not a wait
        }
    });
    std::thread first(writerLoop, "w0"), second(writerLoop, "w1");
    first.join();
    second.join();
    writing = false;
    appender.join();

    std::cout << returnedLines.size() << " saves returned, " << failures.size() << " failed, " << namedPages.size() - 2
              << " copies named\n";
    for (const auto &failure : failures) {
        EXPECT_NE(failure.find("changed while Velto was saving it"), std::string::npos) << failure;
    }
    std::string everything;
    for (const auto &loaded : writetesting::allPagesOf(writetesting::loadedDocument(library))) {
        everything += loaded.visibleText() + "\n";
        EXPECT_TRUE(namedPages.contains(loaded.id.uppercaseText())) << "no save named " << loaded.visibleText();
    }
    for (const auto &line : returnedLines) {
        EXPECT_NE(everything.find(line + "\n"), std::string::npos) << line << " was lost";
    }
}

} // namespace
