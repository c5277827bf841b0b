// What the banner over the editor says when files of the Pages folder turn unreadable while Velto runs.
#include "panel/feedback/UnreadableFilesBanner.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

TEST(UnreadableFilesBanner, NamesOneFileOrCountsSeveralAndPointsToTheTrayMenu) {
    struct Case {
        std::vector<VeltoUnreadablePageFile> files;
        const char *message;
    };
    const Case cases[] = {
        {{{"latin.md", "not UTF-8"}}, "Can’t read “latin.md” · the tray menu lists it"},
        {{{"Notes/old plan.md", "Permission denied"}}, "Can’t read “old plan.md” · the tray menu lists it"},
        {{{"a.md", "Permission denied"}, {"b.md", "Permission denied"}, {"Notes/c.md", "Input/output error"}},
         "Can’t read 3 files · the tray menu lists them"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        PanelFeedback banner = unreadableFilesBanner(c.files);
        EXPECT_EQ(banner.message.toStdString(), c.message);
        EXPECT_EQ(banner.emphasis, PanelFeedback::Emphasis::informational);
        EXPECT_GT(banner.duration, PanelFeedback::standardDuration) << "held longer than a confirmation";
    }
}

} // namespace
} // namespace velto
