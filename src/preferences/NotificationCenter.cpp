#include "preferences/NotificationCenter.h"

namespace velto {

VeltoNotificationCenter &VeltoNotificationCenter::defaultCenter() {
    static VeltoNotificationCenter *center = new VeltoNotificationCenter;
    return *center;
}

} // namespace velto
