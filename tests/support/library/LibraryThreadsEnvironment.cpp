#include "store/LibraryPool.h"

#include <gtest/gtest.h>

namespace velto::testing {
namespace {

/// Waits at the end of the test program until the library's threads have finished what the tests started: a
/// save still writing when the process exits may crash in the teardown of the libraries it uses (the hashing
/// library's runs before any static destructor) and hang the test until its time-out.
class LibraryThreadsEnvironment : public ::testing::Environment {
public:
    void TearDown() override { libraryThreadPool().waitForDone(); }
};

const auto *const registeredEnvironment = ::testing::AddGlobalTestEnvironment(new LibraryThreadsEnvironment);

} // namespace
} // namespace velto::testing
