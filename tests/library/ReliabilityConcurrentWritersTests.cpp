#include "ReliabilitySupport.h"
#include "WriteTestSupport.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

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

} // namespace
