#include "ui/ArchivedPagesDeletionQuestion.h"

#include "ui/CountedText.h"

#include <cstdint>

namespace velto {

ArchivedPagesDeletionQuestion ArchivedPagesDeletionQuestion::forCount(std::size_t count) {
    using CountedText::agreeing;
    const auto pages = static_cast<std::int64_t>(count);
    return {QStringLiteral("Delete %1?").arg(CountedText::counted(pages, "archived page", "archived pages")),
            QStringLiteral("This permanently deletes the archived %1. This can’t be undone.")
                .arg(agreeing(pages, "Markdown file", "Markdown files")),
            agreeing(pages, "Delete page", "Delete pages")};
}

} // namespace velto
