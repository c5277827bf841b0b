#pragma once

#include "platform/Uuid.h"

namespace VeltoPageLibrary {

/// This process's writer identifier: made at random on first use and kept until the process ends, so that
/// each running copy of the application keeps a journal of its own. Every save request carries it.
const velto::Uuid &processWriterID();

} // namespace VeltoPageLibrary
