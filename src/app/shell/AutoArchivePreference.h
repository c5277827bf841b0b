#pragma once

#include "preferences/PreferenceChoices.h"
#include "store/AutoArchivePeriod.h"

namespace velto {

/// The store's archiving period for the preference's duration.
VeltoAutoArchivePeriod autoArchivePeriod(AutoArchiveDuration duration);

} // namespace velto
