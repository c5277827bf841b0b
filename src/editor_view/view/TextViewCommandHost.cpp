#include "editor_view/view/TextViewCommandHost.h"

#include <QDesktopServices>
#include <QUrl>

namespace velto::editor {

bool TextViewCommandHost::openLink(const QUrl &url) {
    return QDesktopServices::openUrl(url);
}

} // namespace velto::editor
