#pragma once

namespace velto {

/// Gives the panel's own widgets the roles assistive technologies should see: the feedback banner is an
/// alert, the content-unavailable view a group, the resize handle a grip. Installed once; every widget that
/// needs a role calls it when it is made.
void installAccessibleRoles();

} // namespace velto
