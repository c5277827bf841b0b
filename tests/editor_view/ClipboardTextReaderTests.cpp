#include "editor_view/clipboard/ClipboardTextReader.h"
#include "editor_view/clipboard/HtmlText.h"

#include "ViewTestApplication.h"
#include "editor/CoroutineTestSupport.h"
#include "support/TemporaryFolder.h"

#include <QtCore/QMimeData>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace velto::editor;
using velto::editor::testsupport::finish;

namespace {

class ClipboardTextReaderTests : public ::testing::Test {
protected:
    void SetUp() override { velto::testing::viewTestApplication(); }

    static std::optional<std::u16string> read(const QMimeData &data) {
        return finish(ClipboardTextReader::read(ClipboardSnapshot::take(&data)));
    }
};

QByteArray deeplyNested(std::size_t depth) {
    return "<html><body>" + QByteArray("<span>").repeated(static_cast<qsizetype>(depth)) + "deep" +
           QByteArray("</span>").repeated(static_cast<qsizetype>(depth));
}

} // namespace

TEST_F(ClipboardTextReaderTests, PlainTextComesFirstExactlyAsStored) {
    QMimeData data;
    data.setHtml(QStringLiteral("<b>rich</b>"));
    data.setData(QStringLiteral("text/rtf"), "{\\rtf1 rich}");
    data.setText(QStringLiteral("  plain \r\nline\u00A0 "));
    EXPECT_EQ(read(data), u"  plain \r\nline\u00A0 ");
}

TEST_F(ClipboardTextReaderTests, RichTextThenHtmlThenAddressesWhenThereIsNoPlainText) {
    QMimeData rich;
    rich.setData(QStringLiteral("text/rtf"), "{\\rtf1 caf\\'e9\\par two}");
    rich.setHtml(QStringLiteral("<p>html</p>"));
    EXPECT_EQ(read(rich), u"café\ntwo");

    QMimeData html;
    html.setData(QStringLiteral("text/rtf"), "not rich text at all");
    html.setHtml(QStringLiteral("<p>one</p><p>two <b>bold</b><img src=\"x.png\"></p>"));
    EXPECT_EQ(read(html), u"one\ntwo bold");

    QMimeData addresses;
    addresses.setData(QStringLiteral("text/uri-list"), "# comment\r\nhttps://a.example/\r\nfile:///tmp/b\r\n");
    EXPECT_EQ(read(addresses), u"https://a.example/\nfile:///tmp/b");
    const PasteRules::ClipboardTexts texts =
        finish(ClipboardTextReader::readForPaste(ClipboardSnapshot::take(&addresses)));
    EXPECT_EQ(texts.addressText, u"https://a.example/");
    EXPECT_EQ(texts.plainText, std::nullopt);

    QMimeData nothing;
    nothing.setData(QStringLiteral("image/png"), "png");
    EXPECT_EQ(read(nothing), std::nullopt);
}

TEST_F(ClipboardTextReaderTests, HtmlNeverLoadsWhatItNames) {
    // A style sheet that is a FIFO blocks whoever opens it for reading until a writer comes: none will.
    velto::testing::TemporaryFolder folder;
    const std::string fifo = (folder.path() / "sheet.css").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const QByteArray html = "<html><head><link rel=\"stylesheet\" href=\"file://" + QByteArray::fromStdString(fifo) +
                            "\"></head><body><p>text</p><img src=\"file://" + QByteArray::fromStdString(fifo) +
                            "\"></body></html>";
    EXPECT_EQ(HtmlText::plainText(html), u"text");
}

TEST_F(ClipboardTextReaderTests, HtmlParagraphsAndBreaksBecomeLineFeeds) {
    EXPECT_EQ(HtmlText::plainText("<p>first</p><p>second<br>line&nbsp;end</p>"), u"first\nsecond\nline end");
    EXPECT_EQ(HtmlText::plainText("<meta charset=\"iso-8859-1\"><p>caf\xe9</p>"), u"café");
}

TEST_F(ClipboardTextReaderTests, DeepOrHugeHtmlIsUnreadable) {
    EXPECT_EQ(HtmlText::plainText(deeplyNested(HtmlText::maximumNesting + 1)), std::nullopt);
    EXPECT_EQ(HtmlText::plainText(deeplyNested(100)), u"deep");
    // Paragraphs, items and cells without end tags and empty elements do not count as nesting.
    const QByteArray flat = QByteArray("<p>a<br><li>b<td>c<img src=x>").repeated(1000);
    EXPECT_LT(HtmlText::nestingDepth(flat), 4u);
    EXPECT_EQ(HtmlText::nestingDepth("<div><!-- <div><div> --><div/></div>"), 1u);
    QByteArray huge(static_cast<qsizetype>(HtmlText::maximumInputSize) + 1, 'a');
    EXPECT_EQ(HtmlText::plainText(huge), std::nullopt);

    QMimeData data;
    data.setHtml(QString::fromUtf8(deeplyNested(10'000)));
    data.setData(QStringLiteral("text/uri-list"), "https://fallback.example/\n");
    EXPECT_EQ(read(data), u"https://fallback.example/");
}
