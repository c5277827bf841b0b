#pragma once

// The X keyboard extension's requests and events. xkb.h names a structure member "explicit", a C++ keyword, so it
// is included under another name for that member; include it through this header only.
#include <xcb/xcb.h>
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wkeyword-macro"
#endif
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
