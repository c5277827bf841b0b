#include "store/DocumentPages.h"

namespace velto {

VeltoPage *findPage(VeltoDocument &document, const Uuid &pageID) {
    if (document.currentPage.id == pageID) {
        return &document.currentPage;
    }
    for (VeltoPage &page : document.pages) {
        if (page.id == pageID) {
            return &page;
        }
    }
    return nullptr;
}

const VeltoPage *findPage(const VeltoDocument &document, const Uuid &pageID) {
    if (document.currentPage.id == pageID) {
        return &document.currentPage;
    }
    for (const VeltoPage &page : document.pages) {
        if (page.id == pageID) {
            return &page;
        }
    }
    return nullptr;
}

} // namespace velto
