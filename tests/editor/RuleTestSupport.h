#pragma once

#include "TestEditingTarget.h"

#include "editor/text/EditorSettings.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// Runs one rule table row: the text before (caret notation), an action, the text after; once on plain
// text and once on text the styler has marked up, so that rules answer alike from attributes and scans.
namespace velto::editor::testing {

class RuleTest : public ::testing::Test {
protected:
    /// The indentation step of the targets the next rows run on.
    void useIndentation(EditorIndentationChoice choice) { settings_.indentation = choice; }

    /// What the view does with a key no rule claimed: the ordinary insertion or deletion.
    static void ordinaryBackspace(TestEditingTarget &target) {
        const TextRange selection = target.selectedRange();
        if (selection.length > 0) {
            target.insertTypedText(selection, u"");
        } else if (selection.location > 0) {
            target.insertTypedText(TextRange{selection.location - 1, 1}, u"");
        }
    }

    void expectRow(const char16_t *before, const std::function<void(TestEditingTarget &)> &action,
                   const char16_t *after) const {
        for (const bool styled : {false, true}) {
            SCOPED_TRACE(utf8(before) + (styled ? "  (styled)" : "  (plain)"));
            TestEditingTarget target = targetFor(before, styled, settings_);
            action(target);
            EXPECT_EQ(utf8(marked(target)), utf8(after));
        }
    }

private:
    EditorSettings settings_;
};

} // namespace velto::editor::testing
