// Shows a text view and prints its whole text after every change, one line each, so that a test can paste
// into it through a real X server's clipboard (Xvfb, xclip and xdotool):
//   ready <window id>
//   text <the text, with "\" as "\\", line feed as "\n", carriage return as "\r", tab as "\t">
#include "editor/markdown/MarkdownStyler.h"
#include "editor_view/view/VeltoTextView.h"

#include <QtWidgets/QApplication>

#include <cstdio>
#include <string>

using namespace velto::editor;

namespace {

void printLine(const std::string &line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

std::string escaped(const QString &text) {
    std::string result;
    for (char byte : text.toStdString()) {
        switch (byte) {
        case '\\':
            result += "\\\\";
            break;
        case '\n':
            result += "\\n";
            break;
        case '\r':
            result += "\\r";
            break;
        case '\t':
            result += "\\t";
            break;
        default:
            result += byte;
        }
    }
    return result;
}

} // namespace

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    VeltoTextView view;
    view.editingCore().loadText(u"", MarkdownStyler::baseAttributes(MarkdownStyler::textColor()));
    QObject::connect(&view, &VeltoTextView::textChanged, [&view] {
        const std::u16string &text = view.storage().string();
        printLine("text " + escaped(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()))));
    });
    view.resize(300, 200);
    view.show();
    view.activateWindow();
    view.setFocus();
    printLine("ready " + std::to_string(view.winId()));
    return application.exec();
}
