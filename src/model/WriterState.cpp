#include "model/WriterState.h"

#include "model/RecordJson.h"
#include "model/RecordJsonWriting.h"

namespace velto {
namespace {

template <typename Record> Json jsonArray(const std::vector<Record> &records) {
    Json array = recordjson::arrayWithRoomFor(records.size());
    for (const Record &record : records) {
        array.push_back(record.toJson());
    }
    return array;
}

} // namespace

Json VeltoWriterPageMutation::toJson() const {
    Json json = recordjson::objectWithRoomFor(2);
    json["page"] = page.toJson();
    json["version"] = version.toJson();
    return json;
}

VeltoWriterPageMutation VeltoWriterPageMutation::fromJson(const Json &json) {
    recordjson::requireObject(json, "a page mutation");
    return {VeltoLibraryPageRecord::fromJson(requiredField(json, "page")),
            VeltoWriterVersion::fromJson(requiredField(json, "version"))};
}

Json VeltoWriterDeletion::toJson() const {
    Json json = recordjson::objectWithRoomFor(2);
    json["pageID"] = uuidJson(pageID);
    json["version"] = version.toJson();
    return json;
}

VeltoWriterDeletion VeltoWriterDeletion::fromJson(const Json &json) {
    recordjson::requireObject(json, "a writer deletion");
    return {requiredUuid(json, "pageID"), VeltoWriterVersion::fromJson(requiredField(json, "version"))};
}

Json VeltoWriterStructure::toJson() const {
    Json json = recordjson::objectWithRoomFor(3);
    json["currentPageID"] = uuidJson(currentPageID);
    Json ordered = recordjson::arrayWithRoomFor(orderedPageIDs.size());
    for (const Uuid &pageID : orderedPageIDs) {
        ordered.push_back(uuidJson(pageID));
    }
    json["orderedPageIDs"] = std::move(ordered);
    json["version"] = version.toJson();
    return json;
}

VeltoWriterStructure VeltoWriterStructure::fromJson(const Json &json) {
    recordjson::requireObject(json, "a writer structure");
    VeltoWriterStructure structure;
    structure.currentPageID = requiredUuid(json, "currentPageID");
    structure.orderedPageIDs = recordjson::requiredArray<Uuid>(json, "orderedPageIDs", uuidFromJson);
    structure.version = VeltoWriterVersion::fromJson(requiredField(json, "version"));
    return structure;
}

Json VeltoWriterState::toJson() const {
    Json json = recordjson::objectWithRoomFor(5);
    json["writerID"] = uuidJson(writerID);
    json["pageMutations"] = jsonArray(pageMutations);
    json["deletions"] = jsonArray(deletions);
    if (structure.has_value()) {
        json["structure"] = structure->toJson();
    }
    if (deletionFrontier.has_value()) {
        json["deletionFrontier"] = jsonArray(*deletionFrontier);
    }
    return json;
}

VeltoWriterState VeltoWriterState::fromJson(const Json &json) {
    recordjson::requireObject(json, "a writer state");
    VeltoWriterState state;
    state.writerID = requiredUuid(json, "writerID");
    state.pageMutations =
        recordjson::requiredArray<VeltoWriterPageMutation>(json, "pageMutations", VeltoWriterPageMutation::fromJson);
    state.deletions = recordjson::requiredArray<VeltoWriterDeletion>(json, "deletions", VeltoWriterDeletion::fromJson);
    if (const Json *structure = optionalField(json, "structure")) {
        state.structure = VeltoWriterStructure::fromJson(*structure);
    }
    state.deletionFrontier =
        recordjson::optionalArray<VeltoWriterHead>(json, "deletionFrontier", VeltoWriterHead::fromJson);
    return state;
}

std::string VeltoWriterState::encode() const {
    // toJson's fields in its order, written without the tree of every entry: a rebuilt library's journal holds
    // ten thousand mutations, and a writer's page order ten thousand identifiers.
    JsonTextWriter writer;
    writer.beginObject();
    writer.key("writerID");
    writer.value(uuidJson(writerID));
    writer.key("pageMutations");
    writer.beginArray();
    for (const VeltoWriterPageMutation &mutation : pageMutations) {
        writer.beginObject();
        writer.key("page");
        writeRecordJson(writer, mutation.page);
        writer.key("version");
        writer.value(mutation.version.toJson());
        writer.endObject();
    }
    writer.endArray();
    writer.key("deletions");
    writer.beginArray();
    for (const VeltoWriterDeletion &deletion : deletions) {
        writer.value(deletion.toJson());
    }
    writer.endArray();
    if (structure.has_value()) {
        writer.key("structure");
        writer.beginObject();
        writer.key("currentPageID");
        writer.value(uuidJson(structure->currentPageID));
        writer.key("orderedPageIDs");
        writer.beginArray();
        for (const Uuid &pageID : structure->orderedPageIDs) {
            writer.value(uuidJson(pageID));
        }
        writer.endArray();
        writer.key("version");
        writer.value(structure->version.toJson());
        writer.endObject();
    }
    if (deletionFrontier.has_value()) {
        writer.key("deletionFrontier");
        writer.beginArray();
        for (const VeltoWriterHead &head : *deletionFrontier) {
            writer.value(head.toJson());
        }
        writer.endArray();
    }
    writer.endObject();
    return std::move(writer).take();
}

VeltoWriterState VeltoWriterState::decode(std::string_view bytes) {
    return fromJson(decodeJSON(bytes));
}

} // namespace velto
