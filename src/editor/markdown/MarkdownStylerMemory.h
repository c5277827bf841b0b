#pragma once

#include "editor/markdown/LineCutPoints.h"
#include "editor/markdown/MarkdownCodeTokenIndex.h"
#include "editor/text/TextAttributes.h"
#include "editor/text/TextStorage.h"

#include <memory>
#include <optional>
#include <vector>

// What the styler remembers of the storages it styled last (a few: one per open page is what the
// editor needs): each one's code-token index, what its last pass left it at and the cut points of its
// long lines. Styling runs on the main thread; a lock only keeps two threads styling different
// storages apart.
namespace velto::editor::MarkdownStyler {

/// The storage's code-token index, brought up to its text through the edits since it was last asked
/// for; built afresh (the whole text taken as a structure change) when the storage is new to it.
std::shared_ptr<MarkdownCodeTokenIndex> codeTokenIndexFor(const TextStorage &storage);

/// Notes that the storage now equals a full pass with these plain attributes.
void rememberPass(const TextStorage &storage, const Attributes &base);

/// The character edits made since the last pass over the storage, when that pass used these plain
/// attributes and only groups that changed characters changed the storage since (keystrokes typed
/// faster than the passes run): none otherwise, as after a group that changed attributes alone.
std::optional<std::vector<CharacterEdit>> characterEditsSinceLastPass(const TextStorage &storage,
                                                                      const Attributes &base);

/// The cut points of the storage's long lines, brought up to its text: none when its edits since
/// they were placed are no longer known.
LineCutPoints currentCutPoints(const TextStorage &storage);

void rememberCutPoints(const TextStorage &storage, LineCutPoints cutPoints);

} // namespace velto::editor::MarkdownStyler
