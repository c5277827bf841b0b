// Encoding and decoding a manifest-sized JSON document: 100 page records, as every save writes one.
#include "platform/JsonCoding.h"
#include "platform/JsonValues.h"

#include <benchmark/benchmark.h>

namespace {

using namespace velto;

Json manifestLikeDocument() {
    Json pages = Json::array();
    for (int i = 0; i < 100; ++i) {
        Json record;
        record["id"] = uuidJson(Uuid::random());
        record["createdAt"] = dateJson(dateFromSecondsSince1970(1767605400 + i));
        record["fileSlug"] = "calm-cove-" + std::to_string(i);
        record["relativeFilePath"] = "2026-01-05-calm-cove-" + std::to_string(i) + ".md";
        record["updatedAt"] = dateJson(dateFromSecondsSince1970(1767605400 + 2 * i));
        record["hasContent"] = true;
        record["contentChecksum"] = "8c3f2a91d0e4b7";
        record["fileSize"] = 52428 + i;
        record["isArchived"] = false;
        pages.push_back(record);
    }
    Json manifest;
    manifest["schemaVersion"] = 1;
    manifest["currentPage"] = pages[0];
    manifest["pages"] = pages;
    manifest["pendingDeletionFileNames"] = Json::array();
    return manifest;
}

void BM_EncodeManifest(benchmark::State &state) {
    Json manifest = manifestLikeDocument();
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text = encodeJSON(manifest);
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_EncodeManifest);

void BM_DecodeManifest(benchmark::State &state) {
    std::string text = encodeJSON(manifestLikeDocument());
    for (auto _ : state) {
        Json value = decodeJSON(text);
        for (const Json &page : value["pages"]) {
            benchmark::DoNotOptimize(requiredUuid(page, "id"));
            benchmark::DoNotOptimize(requiredDate(page, "updatedAt"));
            benchmark::DoNotOptimize(requiredUInt64(page, "fileSize"));
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_DecodeManifest);

} // namespace

BENCHMARK_MAIN();
