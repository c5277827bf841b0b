#pragma once

#include "platform/desktop/ColorScheme.h"
#include "platform/desktop/DisplayOptions.h"

namespace velto::testing {

/// The display options and colour scheme every widget test starts from (all off, light); a test that
/// changes them puts them back through `resetDesktop`.
FixedDisplayOptions &testDisplayOptions();
FixedColorScheme &testColorScheme();
void resetDesktop();

} // namespace velto::testing
