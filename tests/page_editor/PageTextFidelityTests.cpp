#include "EditorSessionFixture.h"

#include <gtest/gtest.h>

using namespace velto;
using namespace velto::testing;
using namespace std::string_literals;

// A page body with line ends of every kind, NBSP, a noncharacter, NUL, a ZWJ emoji sequence and combining
// marks comes into the editor, takes edits elsewhere and goes back to the store byte for byte.
TEST(PageTextFidelityTests, UnusualCharactersSurviveTheEditorUnchanged) {
    const std::string body = "intro\ra\r\nb\u2028c\u2029d\u0085e\u00A0f\uFDD0g\0h "
                             "\U0001F469\u200D\U0001F4BB e\u0301\u0327\n"s;
    EditorSession session(body);
    ASSERT_EQ(session.storedText(), body);
    EXPECT_EQ(session.shownText(), body);

    session.typeAtEnd(u"typed");
    session.core.setSelectedRange({0, 0});
    session.core.insertText(u"> ");
    session.coordinator->flushPendingChanges();
    session.waitForSaves();
    EXPECT_EQ(session.storedText(), "> " + body + "typed");
}
