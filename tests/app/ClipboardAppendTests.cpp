#include "app/shell/ClipboardAppend.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

using Outcome = ClipboardAppendPlan::Outcome;

TEST(ClipboardAppendPlan, RefusalsAndWhatIsAppended) {
    const std::int64_t limit = 5'242'880;
    struct Case {
        const char *name;
        std::optional<QString> clipboard;
        std::optional<QString> page;
        Outcome outcome;
        QString appended;
    };
    const Case cases[] = {
        {"no text", std::nullopt, QStringLiteral("page"), Outcome::noText, {}},
        {"blanks only", QStringLiteral(" \t\r\n\u00a0\n"), QStringLiteral("page"), Outcome::nothingToAppend, {}},
        {"windows line endings", QStringLiteral("one\r\ntwo  \r\n"), QStringLiteral("page"), Outcome::append,
         QStringLiteral("one\ntwo\n")},
        {"a leading blank line stays", QStringLiteral("\nnext"), QStringLiteral(""), Outcome::append,
         QStringLiteral("\nnext")},
        {"page text not held", QStringLiteral("text"), std::nullopt, Outcome::pageUnavailable, {}},
    };
    for (const Case &test : cases) {
        ClipboardAppendPlan plan = planClipboardAppend(test.clipboard, test.page, limit);
        EXPECT_EQ(plan.outcome, test.outcome) << test.name;
        EXPECT_EQ(plan.text, test.appended) << test.name;
    }
}

TEST(ClipboardAppendPlan, TheSizeLimitCountsUtf8BytesAndTheSeparatingLineBreak) {
    const QString page = QStringLiteral("ab"); // 2 bytes, no final line break: one is added
    const QString text = QStringLiteral("é");  // 2 bytes in UTF-8
    EXPECT_EQ(planClipboardAppend(text, page, 5).outcome, Outcome::append);
    EXPECT_EQ(planClipboardAppend(text, page, 4).outcome, Outcome::tooLarge);
    EXPECT_EQ(planClipboardAppend(text, QStringLiteral("ab\n"), 5).outcome, Outcome::append);
}

TEST(ClipboardAppendPlan, EachRefusalHasItsBanner) {
    const std::pair<Outcome, const char *> banners[] = {
        {Outcome::noText, "Clipboard doesn’t contain text"},
        {Outcome::nothingToAppend, "Nothing to append"},
        {Outcome::pageUnavailable, "The current page can’t be changed right now"},
        {Outcome::tooLarge, "The clipboard text is too large to append"},
        {Outcome::append, ""},
    };
    for (const auto &[outcome, banner] : banners) {
        ClipboardAppendPlan plan{outcome, {}};
        EXPECT_EQ(plan.refusalMessage(), QString::fromUtf8(banner));
    }
}

} // namespace
} // namespace velto
