#pragma once

#include <cstdint>

namespace velto {

/// Asks the window manager to activate the native window `window`, as an application answering the user's key
/// press at X server time `time`: a window manager that guards against focus stealing lets a window that answers a
/// key press come forward. Does nothing where the application does not run on X11.
void requestWindowActivation(std::uintptr_t window, std::uint32_t time);

/// Makes a round trip to the X server on the application's connection: every event the server sent before its
/// reply is then with the application, waiting to be handled. False, and nothing asked, where the application
/// does not run on X11.
bool roundTripToXServer();

} // namespace velto
