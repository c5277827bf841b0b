#pragma once

#include "model/MutationTracker.h"
#include "model/Page.h"
#include "platform/Date.h"

#include <cstdint>

namespace velto {

/// Whether the page's content says archived: a loaded text marked archived, any archived summary, or an
/// unavailable summary known to be archived. The archive date plays no part.
bool isArchivedPage(const VeltoPage &page);

/// An active page whose whole text is held: the only kind that can be selected, archived or made current.
bool isActiveLoadedPage(const VeltoPage &page);

/// Whether the page is a saved conflict copy: its text names the page it is a copy of, or its slug is
/// "conflict-copy".
bool isConflictCopy(const VeltoPage &page);

/// The page's activity date: its update date, else its creation date.
Date activityDate(const VeltoPage &page);

/// The UTF-8 size of the page's visible text (body, or preview of a summary) counted against the active limits.
std::int64_t visibleTextBytes(const VeltoPage &page);

/// Marks a loaded page archived at `date`, keeping its identifier and conflict origin in the text; its
/// update date stays. A page whose text is not loaded is left as it is.
void markPageArchived(VeltoPage &page, Date date);

/// Whether the page changed beyond its archive metadata since the last durable save.
bool hasUnsavedEdits(const VeltoMutationTracker &mutations, const Uuid &pageID);

} // namespace velto
