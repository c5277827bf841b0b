#include "store/LibraryPool.h"

namespace velto {

QThreadPool &libraryThreadPool() {
    // Saves run one at a time, loads are awaited one by one; a few threads leave room for page reads.
    static QThreadPool *pool = [] {
        auto *created = new QThreadPool;
        created->setMaxThreadCount(4);
        created->setExpiryTimeout(30000);
        return created;
    }();
    return *pool;
}

} // namespace velto
