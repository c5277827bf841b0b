// Settling a saved conflict copy through the panel controller, over a real store on a temporary Pages folder.
#include "PanelControllerFixture.h"

#include <gtest/gtest.h>


namespace velto {
namespace {

using testing::PanelControllerSession;
using testing::finish;

TEST(PanelConflictResolution, ACopyThatIsTheCurrentPageIsRefused) {
    PanelControllerSession session;
    session.newPageWithText(u"Original");
    const Uuid current = session.currentPageID();
    auto outcome = finish(session.controller->resolveConflict(current, VeltoConflictResolution::keepBothVersions));
    EXPECT_EQ(outcome, VeltoConflictResolutionOutcome::unavailable);
    EXPECT_EQ(session.shownText(), "Original");
}

} // namespace
} // namespace velto
