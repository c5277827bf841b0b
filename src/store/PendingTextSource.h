#pragma once

namespace velto {

/// What holds text typed into the current page but not handed to the store yet: the editor, which registers
/// itself with the store. The store asks it before it puts text from disk or from a save's merge into the
/// current page, and before a page read from disk replaces the current page, so that nothing typed is
/// replaced unseen: a reload that finds new text handed over saves it and loads again.
class VeltoPendingTextSource {
public:
    /// Gives the text typed but not handed over yet to the store at once, by calling its setText before
    /// returning; does nothing when it holds nothing.
    virtual void handOverPendingText() = 0;

protected:
    ~VeltoPendingTextSource() = default;
};

} // namespace velto
