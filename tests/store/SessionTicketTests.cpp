#include "store/SessionTicket.h"

#include <gtest/gtest.h>

#include <memory>

namespace velto {
namespace {

TEST(SessionTicket, StaysCurrentUntilAnotherSessionOpensOrTheStoreGoes) {
    auto store = std::make_unique<QObject>();
    std::uint64_t openSession = 4;
    const VeltoSessionTicket ticket(*store, openSession, 4, "/pages/one");
    EXPECT_TRUE(ticket.stillCurrent());
    EXPECT_EQ(ticket.folderURL(), "/pages/one");

    openSession = 5;
    EXPECT_FALSE(ticket.stillCurrent()) << "taken in the session before";
    EXPECT_TRUE(ticket.storeIsAlive());

    openSession = 4;
    store.reset();
    EXPECT_FALSE(ticket.storeIsAlive());
    EXPECT_FALSE(ticket.stillCurrent()) << "the session of a store that is gone is never current";
}

} // namespace
} // namespace velto
