#pragma once

#include "model/FileTextBuffer.h"

#include <cstddef>
#include <memory>

namespace velto {

/// The memory of one big page text that nothing holds any more, kept for the next big text to be written into.
///
/// Every save of a page writes the page's whole file text into a new buffer, which then stays as the page's
/// baseline until the next save replaces it. For a page of megabytes, a fresh buffer cost the save thousands of
/// page faults as the system handed the memory out again: the baseline that the save before last left behind is
/// the same size, and keeping its buffer costs at most one page's size of memory.
///
/// Only the buffer is reused, never its characters: a text taken from here is always empty.

/// Texts of at least this many bytes give their buffer back when their last holder lets go.
constexpr std::size_t reusedTextBufferMinimum = 512 * 1024;

/// An empty text with room for at least `bytes`. For a big text, the kept buffer when it has that room and not
/// much more (else it is freed, so a buffer of a bigger page is not held on to); a new buffer otherwise, with a
/// little room to spare so that the text of a page that grew by a few keys still fits in it next time.
FileTextBuffer emptyTextWithRoomFor(std::size_t bytes);

/// `text` for sharing among holders that never change it. When the last of them lets go of a big text, its
/// buffer is kept for emptyTextWithRoomFor, in place of any buffer kept before.
std::shared_ptr<const FileTextBuffer> sharedTextReusingBuffer(FileTextBuffer text);

} // namespace velto
