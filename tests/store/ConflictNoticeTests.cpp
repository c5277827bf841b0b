#include "store/ConflictNotice.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace velto {
namespace {

/// A save that kept the typed text of one page per file as a recovered page, each file left as it is because it
/// can't be read or changed.
VeltoSaveResult recoveredBeside(const std::vector<std::string> &files) {
    VeltoSaveResult result;
    for (const std::string &file : files) {
        VeltoPage original;
        original.id = Uuid::random();
        VeltoPage recovered;
        recovered.id = Uuid::random();
        result.conflicts.push_back({original.id, recovered});
        result.pageIDReplacements[original.id] = recovered.id;
        result.pagesLeftUnread.push_back({original, {file, "Permission denied"}});
    }
    return result;
}

/// A save that kept another writer's version of a page as a conflict copy.
VeltoSaveResult conflictCopy() {
    VeltoSaveResult result;
    VeltoPage copy;
    copy.id = Uuid::random();
    result.conflicts.push_back({Uuid::random(), copy});
    return result;
}

// The notice of pages recovered beside files that can't be read or changed says so in the present tense: it goes
// once none of its files is refused any more, and stays while one is. A notice of other causes is no concern of it.
TEST(ConflictNotice, ARecoveryFromRefusedFilesGoesOnceNoneOfItsFilesIsRefused) {
    struct Case {
        const char *name;
        VeltoSaveResult raisedBy;
        std::set<std::string> stillRefused;
        bool stays;
    };
    const Case cases[] = {
        {"its file still refused", recoveredBeside({"a.md"}), {"a.md"}, true},
        {"its file readable and changeable", recoveredBeside({"a.md"}), {}, false},
        {"another file refused", recoveredBeside({"a.md"}), {"b.md"}, false},
        {"one of its two files still refused", recoveredBeside({"a.md", "b.md"}), {"b.md"}, true},
        {"both of its files served again", recoveredBeside({"a.md", "b.md"}), {}, false},
        {"a conflict copy's notice", conflictCopy(), {}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        VeltoConflictNotice notice;
        notice.raise(c.raisedBy);
        ASSERT_TRUE(notice.presentation().has_value());
        notice.withdrawOnceFilesServeAgain(
            [&](const std::string &relativePath) { return c.stillRefused.contains(relativePath); });
        EXPECT_EQ(notice.presentation().has_value(), c.stays);
    }
}

// A later notice of a conflict copy takes the place of the recovery's: files served again do not withdraw it.
TEST(ConflictNotice, ALaterNoticeOfAnotherCauseIsNotWithdrawnWithTheFiles) {
    VeltoConflictNotice notice;
    notice.raise(recoveredBeside({"a.md"}));
    notice.raise(conflictCopy());
    notice.withdrawOnceFilesServeAgain([](const std::string &) { return false; });
    ASSERT_TRUE(notice.presentation().has_value());
    EXPECT_EQ(notice.presentation()->title, "Review Saved Conflict Copy…");
}

} // namespace
} // namespace velto
