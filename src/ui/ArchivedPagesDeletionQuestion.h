#pragma once

#include <QtCore/QString>

#include <cstddef>

namespace velto {

/// The question asked before archived pages are deleted for good, from the tray menu or from Settings:
/// "Delete 1 archived page?", "This permanently deletes the archived Markdown file. This can’t be undone.",
/// answered by "Delete page"; the plural throughout for any other count.
struct ArchivedPagesDeletionQuestion {
    QString title;
    QString message;
    QString button;

    static ArchivedPagesDeletionQuestion forCount(std::size_t count);
};

} // namespace velto
