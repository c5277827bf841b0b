#pragma once

namespace velto {

/// Whether a compositing manager runs on the application's X screen (someone owns the selection
/// _NET_WM_CM_S<screen>), so that translucent windows blend with what lies beneath them. False on any
/// other platform (offscreen, Wayland without XWayland), where translucent windows would show black corners.
bool compositingManagerRunning();

} // namespace velto
