// The access held for the active Pages folder: given back exactly once for each access taken.
#include "app/lifecycle/PagesFolderAccessController.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

/// An access that records its calls and starts only where the test allows.
struct RecordedAccess {
    std::vector<std::string> calls;
    bool startsSucceed = true;

    PagesFolderAccessController::FolderAccess access() {
        return {[this](const std::filesystem::path &folder) {
                    calls.push_back("start " + folder.string());
                    return startsSucceed;
                },
                [this](const std::filesystem::path &folder) { calls.push_back("stop " + folder.string()); }};
    }
};

TEST(PagesFolderAccess, EachHeldAccessIsGivenBackOnceAtTheNextReplacementOrAtTheEnd) {
    RecordedAccess recorded;
    {
        PagesFolderAccessController controller("/default", recorded.access());
        EXPECT_EQ(controller.folderURL(), "/default");
        EXPECT_FALSE(controller.securityScopedURL().has_value());
        controller.replaceActiveFolder("/chosen", true);
        controller.replaceActiveFolder("/second", true);
        EXPECT_EQ(controller.securityScopedURL(), std::filesystem::path("/second"));
        // Starting fails: the folder is active all the same, with no access held.
        recorded.startsSucceed = false;
        controller.replaceActiveFolder("/unreachable", false);
        EXPECT_EQ(controller.folderURL(), "/unreachable");
        EXPECT_FALSE(controller.securityScopedURL().has_value());
    }
    EXPECT_EQ(recorded.calls, (std::vector<std::string>{"stop /chosen", "stop /second", "start /unreachable"}))
        << "nothing is held at the end, so nothing is stopped then";

    RecordedAccess never;
    { PagesFolderAccessController untouched("/default", never.access()); }
    EXPECT_TRUE(never.calls.empty());
}

TEST(PagesFolderAccess, TheDesktopAccessHoldsAHandleOfAFolderThatExistsOnly) {
    testing::TemporaryFolder files;
    std::filesystem::path folder = files.createFolder("Pages");
    {
        PagesFolderAccessController controller("/default");
        controller.replaceActiveFolder(files / "missing", false);
        EXPECT_FALSE(controller.securityScopedURL().has_value());
        controller.replaceActiveFolder(folder, false);
        EXPECT_EQ(controller.securityScopedURL(), folder);
    }
}

} // namespace
} // namespace velto
