#include "WriteTestSupport.h"

#include "library/save/WriteTransaction.h"
#include "platform/JsonCoding.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <sstream>

using namespace velto;
using namespace velto::writetesting;
using velto::testing::TemporaryFolder;

namespace {

const Uuid pageA = *Uuid::parse("A1000000-0000-4000-8000-000000000001");
const Uuid pageB = *Uuid::parse("B2000000-0000-4000-8000-000000000002");

std::string fileText(const std::filesystem::path &path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

/// Every entry below `root` except those inside `skipped`, with the bytes of files.
std::map<std::string, std::string> snapshotBeside(const std::filesystem::path &root,
                                                  const std::filesystem::path &skipped) {
    std::map<std::string, std::string> entries;
    for (auto it = std::filesystem::recursive_directory_iterator(root); it != std::filesystem::end(it); ++it) {
        if (it->path() == skipped) {
            it.disable_recursion_pending();
            continue;
        }
        auto relative = it->path().lexically_relative(root).generic_string();
        entries[relative] = it->is_symlink() ? "->" : (it->is_directory() ? "/" : fileText(it->path()));
    }
    return entries;
}

void editJSON(const std::filesystem::path &path, const std::function<void(Json &)> &edit) {
    Json json = decodeJSON(fileText(path));
    edit(json);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << encodeJSON(json);
}

struct HostileCase {
    const char *name;
    std::function<void(const std::filesystem::path &library, const std::filesystem::path &outside)> damage;
};

// Metadata that names files outside the folder, links that lead out of it, directories where files belong
// and JSON that is huge or garbled: a save and a load give a clear error or recovery issue, or work, and
// never write outside the folder.
TEST(ReliabilityHostileLibrary, DamagedOrHostileMetadataNeverLeadsAWriteOutsideTheFolder) {
    const std::vector<HostileCase> cases = {
        {"manifest names ../x.md",
         [](auto &library, auto &) {
             editJSON(library / ".velto/manifest.json", [](Json &m) { m["pages"][0]["relativeFilePath"] = "../x.md"; });
         }},
        {"manifest names an absolute path",
         [](auto &library, auto &outside) {
             editJSON(library / ".velto/manifest.json",
                      [&](Json &m) { m["pages"][0]["relativeFilePath"] = (outside / "abs.md").string(); });
         }},
        {"pending deletion outside the folder",
         [](auto &library, auto &) {
             editJSON(library / ".velto/manifest.json",
                      [](Json &m) { m["pendingDeletionFileNames"] = Json::array({"../outside/victim.md"}); });
         }},
        {"journal names ../x.md",
         [](auto &library, auto &) {
             auto journal = library / ".velto/writers/0a000000-0000-4000-8000-00000000000a.json";
             editJSON(journal, [](Json &j) { j["pageMutations"][0]["page"]["relativeFilePath"] = "../x.md"; });
         }},
        {"page folder is a link out of the folder",
         [](auto &library, auto &outside) {
             std::filesystem::create_directory_symlink(outside, library / "linked");
             editJSON(library / ".velto/manifest.json",
                      [](Json &m) { m["currentPage"]["relativeFilePath"] = "linked/a.md"; });
         }},
        {"page file is a link out of the folder",
         [](auto &library, auto &outside) {
             for (const auto &entry : std::filesystem::directory_iterator(library)) {
                 if (entry.path().filename().string().ends_with("a1000000.md")) {
                     std::filesystem::remove(entry.path());
                     std::filesystem::create_symlink(outside / "victim.md", entry.path());
                 }
             }
         }},
        {"manifest is a directory",
         [](auto &library, auto &) {
             std::filesystem::remove(library / ".velto/manifest.json");
             std::filesystem::create_directory(library / ".velto/manifest.json");
         }},
        {"journal is a directory",
         [](auto &library, auto &) { std::filesystem::create_directories(library / ".velto/writers/x.json"); }},
        {"page file is a directory",
         [](auto &library, auto &) {
             for (const auto &entry : std::filesystem::directory_iterator(library)) {
                 if (entry.path().filename().string().ends_with("a1000000.md")) {
                     std::filesystem::remove(entry.path());
                     std::filesystem::create_directory(entry.path());
                 }
             }
         }},
        {"huge garbled manifest",
         [](auto &library, auto &) {
             std::ofstream(library / ".velto/manifest.json", std::ios::trunc) << std::string(2'000'000, '[');
         }},
        {"garbled deletion shard",
         [](auto &library, auto &) {
             std::filesystem::create_directories(library / ".velto/deletions");
             std::ofstream(library / ".velto/deletions/v1-a.json") << "{\"schemaVersion\": 1, \"shard\": \"a\", \"del";
         }},
    };

    for (const auto &hostile : cases) {
        TemporaryFolder root;
        auto library = root / "library";
        auto outside = root.createFolder("outside");
        root.writeFile("outside/victim.md", "---\nvelto:\n  id: b2000000-0000-4000-8000-000000000002\n---\nmine\n");
        auto original = documentOf(pageWithBody(pageA, "alpha\n"), {pageWithBody(pageB, "beta\n")});
        VeltoPageLibrary::write(requestFor(original, {pageA, pageB}), library);
        auto loaded = loadedDocument(library);
        hostile.damage(library, outside);
        auto before = snapshotBeside(root.path(), library);

        auto edit = loaded;
        edit.currentPage.content.asLoaded()->body = "alpha 2\n";
        auto request = requestFor(edit, {pageA});
        request.expectedPageBaselines[pageA] = VeltoPageBaseline::fromPage(loaded.currentPage);
        try {
            VeltoPageLibrary::write(request, library);
        } catch (const std::exception &error) {
            EXPECT_GT(std::string(error.what()).size(), 10u) << hostile.name;
        }
        auto result = VeltoPageLibrary::load(library);
        if (const auto *issue = result.failureIssue()) {
            EXPECT_FALSE(issue->message.empty()) << hostile.name;
        }

        EXPECT_EQ(snapshotBeside(root.path(), library), before) << hostile.name << ": something outside was touched";
    }
}

} // namespace
