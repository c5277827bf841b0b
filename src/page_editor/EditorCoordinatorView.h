#pragma once

#include "editor/text/TextAttributes.h"
#include "editor/text/VeltoTheme.h"

#include "editor/text/TextRange.h"

#include <optional>

namespace velto::editor {

/// The editor preferences as the text view shows them, put on it in one piece by the coordinator.
struct EditorAppearance {
    FontDescriptor font;
    Color textColor;
    /// The colour of code spans and blocks: the text colour.
    Color codeTextColor;
    Color insertionPointColor;
    /// The colour of thematic breaks; none while Markdown is not formatted.
    std::optional<Color> horizontalRuleColor;
    /// The default paragraph style: line and paragraph spacing from the font size, word wrapping.
    ParagraphStyle defaultParagraphStyle;
    /// Spell checking while typing ("checksSpelling").
    bool continuousSpellChecking = false;
    /// The user's automatic-correction switch ("correctsSpellingAutomatically").
    bool correctsSpellingAutomatically = false;
    /// Whether corrections are made now: the switch, and the selection not in code.
    bool automaticSpellingCorrection = false;
    bool operator==(const EditorAppearance &) const = default;
};

/// What the editor coordinator needs of the text view beyond its editing core: drawing, the resolved
/// appearance, the task-checkbox preview and the beep. The view implements it; tests
/// give a stand-in.
class EditorCoordinatorView {
public:
    virtual ~EditorCoordinatorView() = default;

    virtual void setNeedsDisplay() = 0;
    virtual void applyEditorAppearance(const EditorAppearance &appearance) = 0;
    /// The appearance the view is drawn in, and whether the desktop asks for increased contrast.
    virtual Appearance effectiveAppearance() const = 0;
    virtual bool increasesContrast() const = 0;
    /// Hides a task checkbox shown as a preview; true when one was shown.
    virtual bool clearPreviewedTaskCheckbox() = 0;
    virtual void beep() = 0;
    /// The characters on screen, which code highlighting asks for first; nothing when not known.
    virtual std::optional<TextRange> visibleCharacterRange() { return std::nullopt; }
};

} // namespace velto::editor
