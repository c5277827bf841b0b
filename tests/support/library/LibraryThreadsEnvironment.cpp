#include "store/LibraryPool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace velto::testing {
namespace {

/// Waits at the end of the test program until the library's threads have finished what the tests started: a
/// save still writing when the process exits may crash in the teardown of the libraries it uses (the hashing
/// library's runs before any static destructor) and hang the test until its time-out. The threads themselves stay,
/// as they do in the application: made to end here, as the pool's waitForDone does, one could still be ending as
/// the hashing library's teardown ran, which then left that thread's error queue behind for the leak checker.
class LibraryThreadsEnvironment : public ::testing::Environment {
public:
    void TearDown() override {
        while (libraryThreadPool().activeThreadCount() > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
};

const auto *const registeredEnvironment = ::testing::AddGlobalTestEnvironment(new LibraryThreadsEnvironment);

} // namespace
} // namespace velto::testing
