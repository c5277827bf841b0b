#include "store/LibrarySession.h"

#include <gtest/gtest.h>

#include <memory>

namespace velto {
namespace {

TEST(SessionTicket, StaysCurrentUntilAnotherLibraryOpensOrTheStoreGoes) {
    auto store = std::make_unique<QObject>();
    VeltoLibrarySession session(*store, "/pages/one");
    const VeltoSessionTicket first = session.ticket();
    EXPECT_TRUE(first.stillCurrent());
    EXPECT_EQ(first.folderURL(), "/pages/one");

    session.begin("/pages/two");
    const VeltoSessionTicket second = session.ticket();
    EXPECT_FALSE(first.stillCurrent()) << "taken in the session before";
    EXPECT_TRUE(first.storeIsAlive());
    EXPECT_TRUE(second.stillCurrent());
    EXPECT_EQ(second.folderURL(), "/pages/two");

    store.reset();
    EXPECT_FALSE(second.storeIsAlive());
    EXPECT_FALSE(second.stillCurrent()) << "the session of a store that is gone is never current";
}

} // namespace
} // namespace velto
