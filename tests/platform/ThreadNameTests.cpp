#include "platform/ThreadName.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <string>
#include <thread>

namespace velto {
namespace {

std::string nameOfThreadNamed(std::string_view name) {
    std::string shown;
    std::thread([&] {
        nameCurrentThread(name);
        char buffer[64] = {};
        pthread_getname_np(pthread_self(), buffer, sizeof buffer);
        shown = buffer;
    }).join();
    return shown;
}

TEST(ThreadName, AThreadShowsItsNameCutToWhatTheSystemHolds) {
    struct Row {
        std::string_view name;
        std::string shown;
    };
    const Row rows[] = {
        {"velto-highlight", "velto-highlight"},
        {"velto-folder-monitor", "velto-folder-mo"},
        {"save", "save"},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(nameOfThreadNamed(row.name), row.shown) << row.name;
    }
}

} // namespace
} // namespace velto
