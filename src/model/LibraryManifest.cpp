#include "model/LibraryManifest.h"

#include "model/LibraryErrors.h"
#include "model/RecordJson.h"
#include "model/RecordJsonWriting.h"
#include "model/TextEquality.h"

namespace velto {

VeltoLibraryManifest VeltoLibraryManifest::fromDocument(const VeltoDocument &document) {
    VeltoLibraryManifest manifest;
    manifest.schemaVersion = currentSchemaVersion;
    manifest.currentPage = VeltoLibraryPageRecord::fromPage(document.currentPage);
    manifest.pages.reserve(document.pages.size());
    for (const VeltoPage &page : document.pages) {
        manifest.pages.push_back(VeltoLibraryPageRecord::fromPage(page));
    }
    return manifest;
}

Json VeltoLibraryManifest::toJson() const {
    Json json = recordjson::objectWithRoomFor(5);
    recordjson::putOptional(json, "schemaVersion", schemaVersion);
    if (reconciliationCheckpoint.has_value()) {
        json["reconciliationCheckpoint"] = reconciliationCheckpoint->toJson();
    }
    json["currentPage"] = currentPage.toJson();
    Json pageList = recordjson::arrayWithRoomFor(pages.size());
    for (const VeltoLibraryPageRecord &page : pages) {
        pageList.push_back(page.toJson());
    }
    json["pages"] = std::move(pageList);
    Json deletionList = recordjson::arrayWithRoomFor(pendingDeletionFileNames.size());
    for (const std::string &name : pendingDeletionFileNames) {
        deletionList.push_back(name);
    }
    json["pendingDeletionFileNames"] = std::move(deletionList);
    return json;
}

VeltoLibraryManifest VeltoLibraryManifest::fromJson(const Json &json) {
    recordjson::requireObject(json, "a manifest");
    VeltoLibraryManifest manifest;
    manifest.schemaVersion = recordjson::optionalInt64(json, "schemaVersion");
    // A newer writer may have changed anything else, so nothing more is read.
    if (manifest.schemaVersion.has_value() && *manifest.schemaVersion > currentSchemaVersion) {
        throw UnsupportedManifestSchemaError(*manifest.schemaVersion);
    }
    if (const Json *checkpoint = optionalField(json, "reconciliationCheckpoint")) {
        manifest.reconciliationCheckpoint = VeltoLibraryReconciliationCheckpoint::fromJson(*checkpoint);
    }
    manifest.currentPage = VeltoLibraryPageRecord::fromJson(requiredField(json, "currentPage"));
    manifest.pages = recordjson::requiredArray<VeltoLibraryPageRecord>(json, "pages", VeltoLibraryPageRecord::fromJson);
    manifest.pendingDeletionFileNames =
        recordjson::optionalArray<std::string>(json, "pendingDeletionFileNames", recordjson::stringFromJson)
            .value_or(std::vector<std::string>{});
    return manifest;
}

std::string VeltoLibraryManifest::encode() const {
    // toJson's fields in its order, written without building the tree of every record first.
    JsonTextWriter writer;
    writer.beginObject();
    if (schemaVersion) {
        writer.key("schemaVersion");
        writer.integer(*schemaVersion);
    }
    if (reconciliationCheckpoint) {
        writer.key("reconciliationCheckpoint");
        writer.value(reconciliationCheckpoint->toJson());
    }
    writer.key("currentPage");
    writeRecordJson(writer, currentPage);
    writer.key("pages");
    writer.beginArray();
    for (const VeltoLibraryPageRecord &page : pages) {
        writeRecordJson(writer, page);
    }
    writer.endArray();
    writer.key("pendingDeletionFileNames");
    writer.beginArray();
    for (const std::string &name : pendingDeletionFileNames) {
        writer.string(name);
    }
    writer.endArray();
    writer.endObject();
    return std::move(writer).take();
}

VeltoLibraryManifest VeltoLibraryManifest::decode(std::string_view bytes) {
    return fromJson(decodeJSON(bytes));
}

bool operator==(const VeltoLibraryManifest &a, const VeltoLibraryManifest &b) {
    return a.schemaVersion == b.schemaVersion && a.reconciliationCheckpoint == b.reconciliationCheckpoint &&
           a.currentPage == b.currentPage && a.pages == b.pages &&
           sameTexts(a.pendingDeletionFileNames, b.pendingDeletionFileNames);
}

} // namespace velto
