#pragma once

#include "model/Page.h"
#include "platform/Date.h"
#include "platform/Uuid.h"

#include <string>
#include <string_view>

// Fixed identifiers, dates and pages for the page-model tests.
namespace velto::testvalues {

inline Uuid uuid(std::string_view text) {
    return *Uuid::parse(text);
}

inline Date date(std::string_view iso8601) {
    return *parseISO8601(iso8601);
}

inline const Uuid pageA = uuid("AAAAAAAA-0000-4000-8000-000000000001");
inline const Uuid pageB = uuid("BBBBBBBB-0000-4000-8000-000000000002");
inline const Uuid pageC = uuid("CCCCCCCC-0000-4000-8000-000000000003");
inline const Uuid writerW = uuid("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
inline const Uuid writerV = uuid("0F0F0F0F-1111-4222-8333-444455556666");
inline const Uuid operation1 = uuid("12345678-90AB-4CDE-8F01-23456789ABCD");

inline VeltoPage loadedPage(const Uuid &id, std::string_view text) {
    VeltoPage page;
    page.id = id;
    page.createdAt = date("2026-01-05T08:00:00Z");
    page.fileSlug = "calm-cove";
    page.content = VeltoPageContent::loaded(VeltoPageFileContent::parse(text));
    return page;
}

} // namespace velto::testvalues
