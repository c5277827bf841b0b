#include "app/shell/SettingsPresentationCoordinator.h"

namespace velto {

namespace {

SettingsPresentationMode liveMode = SettingsPresentationMode::menuBarOnly;

} // namespace

SettingsPresentationCoordinator SettingsPresentationCoordinator::live() {
    return {[](SettingsPresentationMode mode) { liveMode = mode; }};
}

SettingsPresentationMode SettingsPresentationCoordinator::currentLiveMode() {
    return liveMode;
}

} // namespace velto
