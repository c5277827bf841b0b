// What the banner over the editor says after a save kept another version apart.
#include "panel/feedback/ConflictBanner.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

TEST(ConflictBanner, TellsWhoseVersionWasKeptApartAndHowManyPages) {
    struct Case {
        const char *title;
        int pages;
        bool holdsOwnEdits;
        const char *message;
    };
    const Case cases[] = {
        {"Page Recovered After File Removal", 1, true, "Page file removed · your edit was kept as a new page"},
        {"Page Recovered After File Removal", 1, false, "Page file removed · your edit was kept as a new page"},
        {"Page Recovered From a File That Can’t Be Read or Changed", 1, false,
         "Page file can’t be read or changed · your text was kept as a new page"},
        {"Changed Elsewhere", 1, true, "Changed elsewhere · your version was saved as a copy"},
        {"Changed Elsewhere", 3, true, "3 pages changed elsewhere · your versions were saved as copies"},
        {"Changed Elsewhere", 1, false, "Changed elsewhere · the other version was saved as a copy"},
        {"Changed Elsewhere", 2, false, "2 pages changed elsewhere · the other versions were saved as copies"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        VeltoSaveConflictPresentation notice;
        notice.title = c.title;
        for (int page = 0; page < c.pages; ++page) {
            notice.pageIDs.push_back(Uuid::random());
        }
        PanelFeedback banner = conflictBanner(notice, c.holdsOwnEdits);
        EXPECT_EQ(banner.message.toStdString(), c.message);
        EXPECT_EQ(banner.emphasis, PanelFeedback::Emphasis::informational);
        EXPECT_GT(banner.duration, PanelFeedback::standardDuration) << "held longer than a confirmation";
    }
}

} // namespace
} // namespace velto
