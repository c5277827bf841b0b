#include "app/shell/AutoArchivePreference.h"

namespace velto {

VeltoAutoArchivePeriod autoArchivePeriod(AutoArchiveDuration duration) {
    switch (duration) {
    case AutoArchiveDuration::oneDay:
        return VeltoAutoArchivePeriod::oneDay();
    case AutoArchiveDuration::oneWeek:
        return VeltoAutoArchivePeriod::oneWeek();
    case AutoArchiveDuration::oneMonth:
        return VeltoAutoArchivePeriod::oneMonth();
    case AutoArchiveDuration::never:
        return VeltoAutoArchivePeriod::never();
    }
    return VeltoAutoArchivePeriod::oneWeek();
}

} // namespace velto
