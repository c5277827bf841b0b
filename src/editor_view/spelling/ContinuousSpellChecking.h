#pragma once

#include "editor/text/TextStorage.h"
#include "editor_view/spelling/SpellChecker.h"

#include <QtCore/QObject>
#include <QtCore/QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace velto::editor {

/// Spell checking while typing: after every change of the text or of what the view shows, the visible
/// paragraphs are checked in short slices while the main thread is idle, and the view is told to draw
/// the underlines again. Nothing is stored in the text: the view asks for the misspelled ranges when
/// it paints.
class ContinuousSpellChecking : public QObject {
    Q_OBJECT

public:
    /// Work per idle slice, well below a frame, so that typing never waits for spelling.
    static constexpr std::chrono::microseconds sliceBudget{2'500};

    struct Source {
        /// The view's text storage; null when it has none.
        std::function<const TextStorage *()> storage;
        /// The range of the text the view shows.
        std::function<TextRange()> visibleRange;
        /// Whether the text carries the Markdown styling ("formatsMarkdown"): its code-block attributes
        /// then say where code is. Without styling the code index is asked, which scans the page once
        /// per change. Unset means styled.
        std::function<bool()> isStyled;
    };

    ContinuousSpellChecking(SpellChecker &checker, Source source, QObject *parent = nullptr);

    /// The "checksSpelling" switch; off drops the underlines at once.
    void setEnabled(bool enabled);
    bool isEnabled() const { return enabled_; }

    /// Call after a change of the text or of the visible range: a slice runs when the loop is idle.
    void scheduleCheck();
    /// Runs one slice now; true when every visible paragraph is checked.
    bool runSlice(std::chrono::microseconds budget = sliceBudget);

    /// The visible misspelled words, for painting; empty while switched off.
    std::vector<TextRange> misspelledRanges();
    /// The fenced code blocks over the visible paragraphs.
    const std::vector<TextRange> &codeRanges();

    SpellChecker &checker() { return checker_; }

signals:
    /// More of the visible text has been checked, or the switch changed: the view paints again.
    void misspellingsChanged();

private:
    void runScheduledSlice();

    SpellChecker &checker_;
    Source source_;
    bool enabled_ = false;
    QTimer idle_;
    std::vector<TextRange> codeRanges_;
};

} // namespace velto::editor
