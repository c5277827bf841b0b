#pragma once

#include <string_view>

namespace velto {

/// Names the calling thread as processor-time and thread listings show it. The system holds 15 bytes of a name
/// and refuses a longer one whole, so a longer name is cut to its first 15 bytes.
void nameCurrentThread(std::string_view name);

} // namespace velto
