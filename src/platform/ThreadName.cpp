#include "platform/ThreadName.h"

#include <pthread.h>

#include <string>

namespace velto {

namespace {

/// The longest name a thread holds, without its terminating zero.
constexpr std::size_t longestThreadName = 15;

} // namespace

void nameCurrentThread(std::string_view name) {
    const std::string kept(name.substr(0, longestThreadName));
    pthread_setname_np(pthread_self(), kept.c_str());
}

} // namespace velto
