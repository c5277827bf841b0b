#pragma once

#include "model/LibraryPageRecord.h"
#include "platform/JsonTextWriter.h"

namespace velto {

/// The fields of VeltoLibraryPageRecord::toJson in its order, written straight into the text: the manifest and
/// a rebuilt library's journal hold ten thousand records each.
void writeRecordJson(JsonTextWriter &writer, const VeltoLibraryPageRecord &record);

} // namespace velto
