#include "panel/feedback/ConflictBanner.h"

namespace velto {

PanelFeedback conflictBanner(const VeltoSaveConflictPresentation &notice, bool holdsOwnEdits) {
    constexpr double readingTime = 2 * PanelFeedback::standardDuration;
    QString message;
    if (notice.title == "Page Recovered After File Removal") {
        message = QStringLiteral("Page file removed · your edit was kept as a new page");
    } else if (notice.title == "Page Recovered From a File That Can’t Be Read or Changed") {
        message = QStringLiteral("Page file can’t be read or changed · your text was kept as a new page");
    } else if (holdsOwnEdits && notice.pageIDs.size() == 1) {
        message = QStringLiteral("Changed elsewhere · your version was saved as a copy");
    } else if (holdsOwnEdits) {
        message = QStringLiteral("%1 pages changed elsewhere · your versions were saved as copies")
                      .arg(notice.pageIDs.size());
    } else if (notice.pageIDs.size() == 1) {
        message = QStringLiteral("Changed elsewhere · the other version was saved as a copy");
    } else {
        message = QStringLiteral("%1 pages changed elsewhere · the other versions were saved as copies")
                      .arg(notice.pageIDs.size());
    }
    return {message, PanelFeedback::Emphasis::informational, readingTime};
}

} // namespace velto
