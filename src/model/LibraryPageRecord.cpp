#include "model/LibraryPageRecord.h"

#include "model/ContentChecksum.h"
#include "model/RecordJson.h"
#include "model/RecordJsonWriting.h"
#include "model/TextEquality.h"

namespace velto {
namespace {

// The fields that follow the page's identity depend on what is held of its text; `persisted` is the
// page's persistedFileText() when the caller has made it already.
void describeContent(const VeltoPageContent &content, const VeltoPage &page, VeltoLibraryPageRecord &record,
                     const WrittenFileText *persisted, ContentChecksumResumption *resumption) {
    if (const VeltoPageFileContent *loaded = content.asLoaded()) {
        record.hasContent = loaded->fileContentsSize() > 0;
        WrittenFileText made;
        if (persisted == nullptr) {
            made = page.persistedFileText();
            persisted = &made;
        }
        const TextEnding ending = persisted->endsWithBody ? TextEnding::madeSo : TextEnding::toCompare;
        ContentChecksumPair checksums =
            resumption == nullptr ? contentChecksums(persisted->text, loaded->body)
                                  : contentChecksumsResuming(persisted->text, loaded->body, resumption->previousText,
                                                             resumption->previous, resumption->made, ending);
        record.contentChecksum = std::move(checksums.first);
        record.bodyChecksum = std::move(checksums.second);
        if (!persisted->endsWithBody && loaded->lineEnding == "\n") {
            // A body holding "\r\n" on a page of "\n" breaks is written with "\r\n" throughout (a file holding one
            // anywhere reads so) and reads back with "\n": the record takes the checksum of the body every load
            // finds, or each load would correct it.
            record.bodyChecksum = contentChecksum(VeltoPageFileContent::parse(persisted->text.view()).body);
        }
        // The size of the file as written, with the page's identifier in its metadata: what discovery finds on
        // disk, so that a load of the saved library has nothing to correct.
        record.fileSize = static_cast<std::int64_t>(persisted->text.size());
        record.isArchived = loaded->isArchived();
    } else if (const VeltoArchivedPageSummary *archived = content.asArchivedSummary()) {
        record.hasContent = archived->hasContent;
        record.contentChecksum = archived->contentChecksum;
        record.bodyChecksum = archived->bodyChecksum;
        record.fileSize = archived->fileSize;
        record.isArchived = true;
    } else if (const VeltoUnavailablePageSummary *unavailable = content.asUnavailable()) {
        record.hasContent = unavailable->hasContent;
        record.contentChecksum = unavailable->contentChecksum;
        record.bodyChecksum = unavailable->bodyChecksum;
        record.fileSize = unavailable->fileSize;
        record.isArchived = unavailable->isArchived.value_or(false);
    }
}

} // namespace

VeltoPage VeltoLibraryPageRecord::page(VeltoPageContent content) const {
    VeltoPage page;
    page.id = id;
    page.createdAt = createdAt;
    page.fileSlug = fileSlug;
    page.relativeFilePath = relativeFilePath;
    page.updatedAt = updatedAt;
    page.archivedAt = archivedAt;
    page.content = std::move(content);
    return page;
}

VeltoLibraryPageRecord VeltoLibraryPageRecord::fromPage(const VeltoPage &page) {
    return fromPage(page, nullptr);
}

VeltoLibraryPageRecord VeltoLibraryPageRecord::fromPage(const VeltoPage &page, const WrittenFileText *persistedFileText,
                                                        ContentChecksumResumption *resumption) {
    VeltoLibraryPageRecord record;
    record.id = page.id;
    record.createdAt = page.createdAt;
    record.fileSlug = page.fileSlug;
    record.relativeFilePath = page.relativeFilePath;
    record.updatedAt = page.updatedAt;
    record.archivedAt = page.archivedAt;
    describeContent(page.content, page, record, persistedFileText, resumption);
    return record;
}

bool VeltoLibraryPageRecord::describesSamePageMutation(const VeltoLibraryPageRecord &other) const {
    return id == other.id && createdAt == other.createdAt && sameOptionalText(fileSlug, other.fileSlug) &&
           sameOptionalText(relativeFilePath, other.relativeFilePath) && updatedAt == other.updatedAt &&
           archivedAt == other.archivedAt && hasContent == other.hasContent &&
           sameOptionalText(contentChecksum, other.contentChecksum) &&
           sameOptionalText(bodyChecksum, other.bodyChecksum);
}

bool operator==(const VeltoLibraryPageRecord &a, const VeltoLibraryPageRecord &b) {
    return a.describesSamePageMutation(b) && a.fileSize == b.fileSize && a.isArchived == b.isArchived;
}

Json VeltoLibraryPageRecord::toJson() const {
    using recordjson::putOptional;
    Json json = recordjson::objectWithRoomFor(11);
    json["id"] = uuidJson(id);
    json["createdAt"] = dateJson(createdAt);
    putOptional(json, "fileSlug", fileSlug);
    putOptional(json, "relativeFilePath", relativeFilePath);
    putOptional(json, "updatedAt", updatedAt);
    putOptional(json, "archivedAt", archivedAt);
    json["hasContent"] = hasContent;
    putOptional(json, "contentChecksum", contentChecksum);
    putOptional(json, "bodyChecksum", bodyChecksum);
    putOptional(json, "fileSize", fileSize);
    putOptional(json, "isArchived", isArchived);
    return json;
}

namespace {

void writeOptional(JsonTextWriter &writer, std::string_view key, const std::optional<std::string> &text) {
    if (text) {
        writer.key(key);
        writer.string(*text);
    }
}

void writeOptional(JsonTextWriter &writer, std::string_view key, const std::optional<Date> &date) {
    if (date) {
        writer.key(key);
        writer.value(dateJson(*date));
    }
}

} // namespace

void writeRecordJson(JsonTextWriter &writer, const VeltoLibraryPageRecord &record) {
    writer.beginObject();
    writer.key("id");
    writer.value(uuidJson(record.id));
    writer.key("createdAt");
    writer.value(dateJson(record.createdAt));
    writeOptional(writer, "fileSlug", record.fileSlug);
    writeOptional(writer, "relativeFilePath", record.relativeFilePath);
    writeOptional(writer, "updatedAt", record.updatedAt);
    writeOptional(writer, "archivedAt", record.archivedAt);
    writer.key("hasContent");
    writer.boolean(record.hasContent);
    writeOptional(writer, "contentChecksum", record.contentChecksum);
    writeOptional(writer, "bodyChecksum", record.bodyChecksum);
    if (record.fileSize) {
        writer.key("fileSize");
        writer.integer(*record.fileSize);
    }
    if (record.isArchived) {
        writer.key("isArchived");
        writer.boolean(*record.isArchived);
    }
    writer.endObject();
}

VeltoLibraryPageRecord VeltoLibraryPageRecord::fromJson(const Json &json) {
    recordjson::requireObject(json, "a page record");
    VeltoLibraryPageRecord record;
    record.id = requiredUuid(json, "id");
    record.createdAt = requiredDate(json, "createdAt");
    record.fileSlug = optionalString(json, "fileSlug");
    record.relativeFilePath = optionalString(json, "relativeFilePath");
    record.updatedAt = optionalDate(json, "updatedAt");
    record.archivedAt = optionalDate(json, "archivedAt");
    record.hasContent = requiredBool(json, "hasContent");
    record.contentChecksum = optionalString(json, "contentChecksum");
    record.bodyChecksum = optionalString(json, "bodyChecksum");
    record.fileSize = recordjson::optionalInt64(json, "fileSize");
    record.isArchived = recordjson::optionalBool(json, "isArchived");
    return record;
}

std::string VeltoLibraryPageRecord::encode() const {
    return encodeJSON(toJson());
}

VeltoLibraryPageRecord VeltoLibraryPageRecord::decode(std::string_view bytes) {
    return fromJson(decodeJSON(bytes));
}

} // namespace velto
