// Shows a window that routes its key events as the text view does and prints, one line each, what the
// routing saw and decided, so that a test can drive it with a real X server (Xvfb and xdotool):
//   ready <window id>
//   press|release <key code> <flags> <characters> <characters ignoring modifiers>   (hex; text as code points)
//   event cyclePage|cyclePageReverse|endPageCycle
//   command <identifier>
//   default
#include "editor_view/input/TextViewKeyEvents.h"
#include "editor_view/input/TextViewKeyRouter.h"

#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include <cstdio>
#include <string>

using namespace velto;
using namespace velto::editor;

namespace {

void printLine(const std::string &line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

std::string codePoints(const std::optional<QString> &text) {
    if (!text) {
        return "-";
    }
    std::string result = "[";
    for (char32_t point : text->toUcs4()) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%s%x", result.size() > 1 ? "," : "", static_cast<unsigned>(point));
        result += buffer;
    }
    return result + "]";
}

// Keys without text: nothing is editable, only events and commands are reported.
class NoText final : public EditingTarget {
public:
    const TextStorage &storage() const override { return storage_; }
    bool isEditable() const override { return false; }
    const EditorSettings &editorSettings() const override { return settings_; }
    const StyleSettings &styleSettings() const override { return style_; }
    TextRange selectedRange() const override { return {}; }
    void setSelectedRange(TextRange) override {}
    bool replaceText(TextRange, std::u16string_view, TextRange) override { return false; }
    void insertTypedText(TextRange, std::u16string_view) override {}
    void setUndoActionName(std::u16string_view) override {}
    void updateAttributes(TextRange, const std::function<Attributes(const Attributes &)> &) override {}
    Attributes typingAttributes() const override { return {}; }
    void setTypingAttributes(const Attributes &) override {}
    Color codeTextColor() const override { return {}; }

private:
    TextStorage storage_;
    EditorSettings settings_;
    StyleSettings style_;
};

/// Prints the commands the keys run and the page cycles they start and end; the shortcuts are the user's.
class EchoingCommandHost final : public TextViewCommandHost {
public:
    void performCommand(VeltoCommandID id) override { printLine("command " + rawValue(id).toStdString()); }
    void editorEvent(const EditorEvent &event) override {
        switch (event.kind) {
        case EditorEvent::Kind::cyclePage:
            printLine(event.reverse ? "event cyclePageReverse" : "event cyclePage");
            break;
        case EditorEvent::Kind::endPageCycle:
            printLine("event endPageCycle");
            break;
        case EditorEvent::Kind::interpretPastedMarkdown:
            break;
        }
    }
};

class EchoWindow final : public QWidget {
public:
    EchoWindow()
        : router_(text_, commands_)
        , events_([this] { return commands_.commandShortcuts(); }) {
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    bool event(QEvent *event) override {
        if (event->type() == QEvent::ShortcutOverride) {
            auto *key = static_cast<QKeyEvent *>(event);
            const KeyDecision decision = events_.shortcutOverride(*key);
            router_.carryOut(decision, [] {});
            if (decision.kind == KeyDecision::Kind::veltoCommand || decision.kind == KeyDecision::Kind::viewCommand) {
                key->accept();
                return true;
            }
        }
        return QWidget::event(event);
    }

    void keyPressEvent(QKeyEvent *event) override {
        print("press", *event);
        carryOut(events_.keyPress(*event, false));
    }

    void keyReleaseEvent(QKeyEvent *event) override {
        if (event->isAutoRepeat()) {
            return;
        }
        print("release", *event);
        carryOut(events_.keyRelease(*event));
    }

private:
    static void print(const char *what, const QKeyEvent &event) {
        LocalKeyEvent local = localKeyEvent(event);
        char numbers[64];
        std::snprintf(numbers, sizeof numbers, " %x %llx ", local.keyCode,
                      static_cast<unsigned long long>(local.modifierFlags));
        printLine(what + std::string(numbers) + codePoints(local.characters) + " " +
                  codePoints(local.charactersIgnoringModifiers));
    }

    /// What the text view would do itself (its key bindings, typed text and keys it ignores) is "default".
    void carryOut(const KeyDecision &decision) {
        const bool viewsOwn = decision.ordinaryKeyDown && decision.kind != KeyDecision::Kind::veltoCommand;
        router_.carryOut(decision, [] {});
        if (viewsOwn) {
            printLine("default");
        }
    }

    NoText text_;
    EchoingCommandHost commands_;
    TextViewKeyRouter router_;
    TextViewKeyEvents events_;
};

} // namespace

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    EchoWindow window;
    window.resize(200, 100);
    window.show();
    window.activateWindow();
    window.setFocus();
    printLine("ready " + std::to_string(window.winId()));
    return application.exec();
}
