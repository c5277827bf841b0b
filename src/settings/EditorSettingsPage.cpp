#include "settings/EditorSettingsPage.h"

#include "preferences/Preferences.h"
#include "settings/SettingsControls.h"
#include "settings/SettingsTexts.h"
#include "settings/SettingsViewFactory.h"

#include <QtWidgets/QCheckBox>
#include <QtWidgets/QScrollArea>

#include <algorithm>

namespace velto {

namespace {

using SettingsViewFactory::makeSwitch;
using SettingsViewFactory::preferenceRow;
using SettingsViewFactory::section;
constexpr auto none = std::nullopt;

} // namespace

EditorSettingsPage::EditorSettingsPage(std::function<void()> editorDidChange)
    : editorDidChange_(std::move(editorDidChange)) {}

QScrollArea *EditorSettingsPage::makePage() {
    fontControl = new SegmentedControl({QStringLiteral("Monospaced"), QStringLiteral("System")}, 108);
    fontControl->setAccessibleName(QStringLiteral("Editor font"));
    connect(fontControl, &SegmentedControl::picked, this, &EditorSettingsPage::changeFont);

    fontSizeStepper = new FontSizeSpinBox;
    fontSizeStepper->setAccessibleName(QStringLiteral("Editor text size"));
    fontSizeStepper->setAccessibleDescription(QStringLiteral("Increase or decrease the editor text size in points."));
    connect(fontSizeStepper, &QSpinBox::valueChanged, this, [this](int value) { changeFontSize(value); });

    indentationControl =
        new SegmentedControl({QStringLiteral("Tab"), QStringLiteral("2 Spaces"), QStringLiteral("4 Spaces")}, 70);
    indentationControl->setAccessibleName(QStringLiteral("Editor indentation"));
    indentationControl->setAccessibleDescription(
        QStringLiteral("Choose a tab character, two spaces, or four spaces for indentation."));
    connect(indentationControl, &SegmentedControl::picked, this, &EditorSettingsPage::changeIndentation);

    spellingWhileTypingSwitch = makeSwitch(QStringLiteral("Check spelling while typing"),
                                           QStringLiteral("Underline misspelled words while typing in the editor."));
    connect(spellingWhileTypingSwitch, &QCheckBox::clicked, this, [this](bool on) { toggleSpellingWhileTyping(on); });
    automaticSpellingCorrectionSwitch =
        makeSwitch(QStringLiteral("Correct spelling automatically"),
                   QStringLiteral("Allow Velto to replace misspelled words while typing."));
    connect(automaticSpellingCorrectionSwitch, &QCheckBox::clicked, this,
            [this](bool on) { toggleAutomaticSpellingCorrection(on); });
    formatMarkdownSwitch =
        makeSwitch(QStringLiteral("Format Markdown"),
                   QStringLiteral("Style headings, links, lists, and other Markdown in the editor."));
    connect(formatMarkdownSwitch, &QCheckBox::clicked, this, [this](bool on) { toggleMarkdownFormatting(on); });

    return SettingsViewFactory::page(
        QStringLiteral("Editor"), none,
        {section(QStringLiteral("Text"), none,
                 {preferenceRow(QStringLiteral("Font"), none, fontControl),
                  preferenceRow(QStringLiteral("Text size"), none, fontSizeStepper),
                  preferenceRow(QStringLiteral("Indentation"),
                                QStringLiteral("Used by Tab and automatic code indentation."), indentationControl),
                  preferenceRow(QStringLiteral("Check spelling while typing"),
                                QStringLiteral("Underline misspelled words as you type."), spellingWhileTypingSwitch),
                  preferenceRow(QStringLiteral("Correct spelling automatically"),
                                QStringLiteral("Let Velto replace misspelled words as you type."),
                                automaticSpellingCorrectionSwitch)}),
         section(QStringLiteral("Markdown"), none,
                 {preferenceRow(QStringLiteral("Format Markdown"),
                                QStringLiteral("Render Markdown as you type while keeping the source editable."),
                                formatMarkdownSwitch)})});
}

void EditorSettingsPage::refresh() {
    fontControl->setSelectedIndex(static_cast<int>(VeltoPreferences::fontChoice()));
    {
        QSignalBlocker blocking(fontSizeStepper);
        std::optional<double> stored =
            VeltoPreferences::storage().defaults().number(QString::fromLatin1(PreferenceKeys::editorFontSize));
        fontSizeStepper->setValue(SettingsTexts::fontSizeIndex(stored));
    }
    indentationControl->setSelectedIndex(static_cast<int>(VeltoPreferences::indentation()));
    EditorTextCheckingSettings checking = VeltoPreferences::textChecking();
    for (auto [box, on] :
         {std::pair{spellingWhileTypingSwitch, checking.checksSpelling},
          std::pair{automaticSpellingCorrectionSwitch, checking.correctsSpellingAutomatically},
          std::pair{formatMarkdownSwitch, VeltoPreferences::storage().defaults().boolean(
                                              QString::fromLatin1(PreferenceKeys::formatsMarkdown))}}) {
        QSignalBlocker blocking(box);
        box->setChecked(on);
    }
}

void EditorSettingsPage::changeFont(int index) {
    if (std::optional<EditorFontChoice> choice = choiceAt<EditorFontChoice>(index)) {
        VeltoPreferences::setFontChoice(*choice);
        editorDidChange_();
    }
}

void EditorSettingsPage::changeIndentation(int index) {
    if (std::optional<EditorIndentationChoice> choice = choiceAt<EditorIndentationChoice>(index)) {
        VeltoPreferences::setIndentation(*choice);
        editorDidChange_();
    }
}

void EditorSettingsPage::changeFontSize(int stepperValue) {
    const auto &sizes = VeltoPreferences::availableFontSizes;
    int index = std::clamp(stepperValue, 0, static_cast<int>(sizes.size()) - 1);
    double size = sizes[static_cast<std::size_t>(index)];
    {
        QSignalBlocker blocking(fontSizeStepper);
        fontSizeStepper->setValue(index);
    }
    VeltoPreferences::storage().defaults().set(QString::fromLatin1(PreferenceKeys::editorFontSize), size);
    VeltoPreferences::notifyChange();
    editorDidChange_();
}

void EditorSettingsPage::toggleSpellingWhileTyping(bool on) {
    EditorTextCheckingSettings settings = VeltoPreferences::textChecking();
    settings.checksSpelling = on;
    VeltoPreferences::setTextChecking(settings);
    editorDidChange_();
}

void EditorSettingsPage::toggleAutomaticSpellingCorrection(bool on) {
    EditorTextCheckingSettings settings = VeltoPreferences::textChecking();
    settings.correctsSpellingAutomatically = on;
    VeltoPreferences::setTextChecking(settings);
    editorDidChange_();
}

void EditorSettingsPage::toggleMarkdownFormatting(bool on) {
    VeltoPreferences::storage().defaults().set(QString::fromLatin1(PreferenceKeys::formatsMarkdown), on);
    VeltoPreferences::notifyChange();
    editorDidChange_();
}

} // namespace velto
