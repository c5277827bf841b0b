#include "PanelTestSupport.h"

#include "panel/feedback/FeedbackPulseAnimation.h"
#include "panel/feedback/PanelFeedback.h"
#include "panel/pages/PageNavigation.h"
#include "panel/view/ScrollAvailability.h"
#include "ui/SurfaceAnimation.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

VeltoPage page(const std::string &body) {
    VeltoPage page;
    page.id = Uuid::random();
    page.content = VeltoPageContent::loaded(VeltoPageFileContent{std::nullopt, body, "\n"});
    return page;
}

std::vector<Uuid> ids(std::initializer_list<const VeltoPage *> pages) {
    std::vector<Uuid> result;
    for (const VeltoPage *p : pages) {
        result.push_back(p->id);
    }
    return result;
}

TEST(PanelFeedback, PagePositionIsAnInformationalBannerOfTheStandardDuration) {
    EXPECT_EQ(PanelFeedback::pagePosition(3, 7),
              (PanelFeedback{"Page 3 of 7", PanelFeedback::Emphasis::informational, 2.2}));
}

TEST(PageNavigationSession, StepsWrapAroundInBothDirections) {
    std::vector<Uuid> five{Uuid::random(), Uuid::random(), Uuid::random(), Uuid::random(), Uuid::random()};
    struct Case {
        std::size_t count;
        std::optional<std::size_t> index;
        bool reverse;
        std::optional<std::size_t> expected; // nothing: no selection, index unchanged
    };
    const Case cases[] = {
        {0, std::nullopt, false, std::nullopt},
        {1, 0, false, std::nullopt},
        {1, std::nullopt, true, 0},
        {5, std::nullopt, false, 0},
        {5, std::nullopt, true, 4},
        {5, 0, true, 4},
        {5, 4, false, 0},
        {5, 2, false, 3},
        {2, 1, true, 0},
    };
    for (const Case &c : cases) {
        PageNavigationSession session{std::vector<Uuid>(five.begin(), five.begin() + c.count), c.index};
        std::optional<Uuid> selected = session.selectNextPage(c.reverse);
        if (c.expected) {
            ASSERT_TRUE(selected.has_value());
            EXPECT_EQ(*selected, five[*c.expected]);
            EXPECT_EQ(session.currentIndex, c.expected);
        } else {
            EXPECT_FALSE(selected.has_value());
            EXPECT_EQ(session.currentIndex, c.index);
        }
    }
}

TEST(PageNavigationSession, SnapshotLeavesOutAnEmptyCurrentPage) {
    VeltoPage current = page("notes");
    VeltoPage other = page("todo");
    VeltoPage empty = page("");
    PageNavigationSession withText = navigationSnapshot({current, other}, current);
    EXPECT_EQ(withText.pageIDs, ids({&current, &other}));
    EXPECT_EQ(withText.currentIndex, 0u);

    PageNavigationSession fromEmpty = navigationSnapshot({empty, other}, empty);
    EXPECT_EQ(fromEmpty.pageIDs, ids({&other}));
    EXPECT_EQ(fromEmpty.currentIndex, std::nullopt);
    EXPECT_EQ(fromEmpty.selectNextPage(false), other.id) << "Page 1 of 1";

    PageNavigationSession alone = navigationSnapshot({current}, current);
    EXPECT_EQ(alone.selectNextPage(false), std::nullopt) << "the only page is already current";
}

TEST(ScrollAvailability, HalfAPixelOfToleranceAtEitherEnd) {
    const QRectF document(0, 0, 400, 1000);
    struct Case {
        QRectF visible;
        QRectF document;
        ScrollAvailability expected;
    };
    const Case cases[] = {
        {QRectF(0, 0, 400, 300), document, {false, true}},
        {QRectF(0, 0.5, 400, 300), document, {false, true}},
        {QRectF(0, 0.6, 400, 300), document, {true, true}},
        {QRectF(0, 699.5, 400, 300), document, {true, false}},
        {QRectF(0, 699.4, 400, 300), document, {true, true}},
        {QRectF(0, 0, 400, 300), QRectF(0, 0, 400, 120), {false, false}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(scrollAvailability(c.visible, c.document), c.expected);
    }
}

TEST(FeedbackPulse, OnlyAMovingConfirmationPulsesAndARunningPulseIsKept) {
    using FeedbackPulseAnimation::Outcome;
    PaintedSurfaceEffect surface;
    PanelFeedback confirmation{"Page archived", PanelFeedback::Emphasis::confirmation};
    PanelFeedback information = PanelFeedback::pagePosition(1, 2);

    EXPECT_EQ(FeedbackPulseAnimation::reconcile(confirmation, surface, true), Outcome::started);
    EXPECT_EQ(FeedbackPulseAnimation::reconcile(confirmation, surface, true), Outcome::kept);
    EXPECT_EQ(FeedbackPulseAnimation::reconcile(information, surface, true), Outcome::removed);
    EXPECT_FALSE(surface.isScaleAnimating());
    EXPECT_EQ(FeedbackPulseAnimation::reconcile(confirmation, surface, false), Outcome::removed)
        << "reduced motion: no pulse";
    EXPECT_EQ(surface.scale(), 1.0);
}

} // namespace
} // namespace velto
