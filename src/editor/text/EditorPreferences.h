#pragma once

#include "preferences/FontSizes.h"

#include <memory>

namespace velto::editor {

enum class EditorFontChoice { monospaced, system };
/// One indentation step: a tab, two spaces or four spaces.
enum class EditorIndentationChoice { tab, spaces2, spaces4 };

/// The editor preferences that styling reads, read afresh at every use so that a change applies at
/// the next styling pass. The preferences subsystem supplies the real values.
class EditorPreferences {
public:
    virtual ~EditorPreferences() = default;
    /// The stored "editorFontSize" in points; 0 when nothing is stored.
    virtual double storedEditorFontSize() const = 0;
    virtual EditorFontChoice fontChoice() const = 0;
    /// The "editorIndentationChoice" the editing rules indent with; two spaces unless stored otherwise.
    virtual EditorIndentationChoice indentation() const { return EditorIndentationChoice::spaces2; }
};

/// Fixed values, for tests and until the preferences subsystem installs its own.
class FixedEditorPreferences final : public EditorPreferences {
public:
    explicit FixedEditorPreferences(double fontSize = 0, EditorFontChoice choice = EditorFontChoice::monospaced,
                                    EditorIndentationChoice indentation = EditorIndentationChoice::spaces2)
        : fontSize_(fontSize)
        , choice_(choice)
        , indentation_(indentation) {}
    double storedEditorFontSize() const override { return fontSize_; }
    EditorFontChoice fontChoice() const override { return choice_; }
    EditorIndentationChoice indentation() const override { return indentation_; }

private:
    double fontSize_;
    EditorFontChoice choice_;
    EditorIndentationChoice indentation_;
};

using VeltoPreferences::availableFontSizes;
using VeltoPreferences::defaultFontSize;

/// The editor's point size: the stored size when it is one of the available sizes, else 15.
double editorFontSize(const EditorPreferences &preferences);

/// The preferences styling reads; fixed defaults until someone installs others.
const EditorPreferences &currentEditorPreferences();
void setEditorPreferences(std::shared_ptr<const EditorPreferences> preferences);

} // namespace velto::editor
