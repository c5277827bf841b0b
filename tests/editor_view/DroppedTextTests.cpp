#include "editor_view/clipboard/DroppedText.h"

#include <QMimeData>

#include <gtest/gtest.h>

namespace velto::editor {
namespace {

TEST(DroppedText, LineEndsBecomeLineFeedsAsInAPaste) {
    struct Case {
        QString text;
        std::u16string expected;
    };
    const std::vector<Case> cases{
        {QStringLiteral("one\r\ntwo\r\n"), u"one\ntwo\n"},
        {QStringLiteral("old\rmac\r"), u"old\nmac\n"},
        {QStringLiteral("cr\r\r\nlf\n"), u"cr\n\nlf\n"},
        {QStringLiteral("plain\nalready"), u"plain\nalready"},
        {QString(QChar(0xD800)) + QStringLiteral("x"), u"\uFFFDx"}, // a lone surrogate
        {QString(), u""},
    };
    for (const Case &c : cases) {
        QMimeData data;
        data.setText(c.text);
        EXPECT_EQ(droppedText(data), std::optional<std::u16string>(c.expected)) << c.text.toStdString();
    }
}

TEST(DroppedText, ADropWithoutPlainTextBringsNothing) {
    QMimeData data;
    data.setData(QStringLiteral("image/png"), QByteArray("\x89PNG"));
    EXPECT_FALSE(droppedText(data).has_value());
}

} // namespace
} // namespace velto::editor
