#pragma once

#include <QtCore/QObject>

#include <functional>

class QCheckBox;
class QScrollArea;

namespace velto {

class FontSizeSpinBox;
class SegmentedControl;

/// The Editor page of the Settings window: the font, its size, the indentation, spell checking and live
/// Markdown formatting. Each control writes its preference, then tells the application through
/// `editorDidChange`.
class EditorSettingsPage : public QObject {
public:
    explicit EditorSettingsPage(std::function<void()> editorDidChange);

    /// Builds the page's controls; called once, the window owns what it returns.
    QScrollArea *makePage();
    /// Shows the stored preferences.
    void refresh();

    void changeFont(int index);
    void changeFontSize(int stepperValue);
    void changeIndentation(int index);
    void toggleSpellingWhileTyping(bool on);
    void toggleAutomaticSpellingCorrection(bool on);
    void toggleMarkdownFormatting(bool on);

    SegmentedControl *fontControl = nullptr;
    FontSizeSpinBox *fontSizeStepper = nullptr;
    SegmentedControl *indentationControl = nullptr;
    QCheckBox *spellingWhileTypingSwitch = nullptr;
    QCheckBox *automaticSpellingCorrectionSwitch = nullptr;
    QCheckBox *formatMarkdownSwitch = nullptr;

private:
    std::function<void()> editorDidChange_;
};

} // namespace velto
