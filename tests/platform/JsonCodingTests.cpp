#include "platform/JsonCoding.h"
#include "platform/JsonValues.h"

#include <gtest/gtest.h>

#include <limits>

namespace velto {
namespace {

TEST(JsonEncoding, WritesCompactFieldsInInsertionOrder) {
    Json record;
    record["schemaVersion"] = 1;
    record["id"] = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";
    record["hasContent"] = true;
    record["archivedAt"] = nullptr;
    record["pages"] = Json::array({Json{{"b", 2}, {"a", 1}}, Json::array(), Json::object()});
    EXPECT_EQ(encodeJSON(record), R"({"schemaVersion":1,"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
                                  R"("hasContent":true,"archivedAt":null,"pages":[{"b":2,"a":1},[],{}]})");
}

struct EscapeCase {
    const char *raw;
    const char *written;
};

TEST(JsonEncoding, EscapesStringsAsThePeerEncoderDoes) {
    const EscapeCase cases[] = {
        {"notes/2026-01-05-calm-cove.md", R"("notes\/2026-01-05-calm-cove.md")"},
        {"say \"hi\"", R"("say \"hi\"")"},
        {"back\\slash", R"("back\\slash")"},
        {"a\nb\rc\td\be\ff", R"("a\nb\rc\td\be\ff")"},
        {"\x01\x1f", R"("\u0001\u001f")"},
        {"\x7f", "\"\x7f\""},
        {"café ✓ 😀", "\"café ✓ 😀\""},
        {"\xE2\x80\xA8", "\"\xE2\x80\xA8\""}, // U+2028 stays raw
        {"", R"("")"},
    };
    for (const EscapeCase &entry : cases) {
        EXPECT_EQ(encodeJSON(Json(entry.raw)), entry.written) << entry.raw;
    }
    EXPECT_EQ(encodeJSON(Json(std::string("a\0b", 3))), R"("a\u0000b")");
}

TEST(JsonEncoding, EscapesKeysLikeValues) {
    Json object;
    object["a/b"] = "c/d";
    EXPECT_EQ(encodeJSON(object), R"({"a\/b":"c\/d"})");
}

TEST(JsonEncoding, WritesNumbersPlainly) {
    EXPECT_EQ(encodeJSON(Json(0)), "0");
    EXPECT_EQ(encodeJSON(Json(-42)), "-42");
    EXPECT_EQ(encodeJSON(Json(std::numeric_limits<std::uint64_t>::max())), "18446744073709551615");
    EXPECT_EQ(encodeJSON(Json(std::numeric_limits<std::int64_t>::min())), "-9223372036854775808");
    EXPECT_EQ(encodeJSON(Json(1.5)), "1.5");
    EXPECT_EQ(encodeJSON(Json(2.0)), "2");
    EXPECT_EQ(encodeJSON(Json(0.1)), "0.1");
    EXPECT_EQ(encodeJSON(Json(-0.25)), "-0.25");
    EXPECT_EQ(encodeJSON(Json(0.0001)), "0.0001");
    EXPECT_EQ(encodeJSON(Json(0.00001)), "1e-05");
    EXPECT_EQ(encodeJSON(Json(1e15)), "1000000000000000");
    EXPECT_EQ(encodeJSON(Json(1e17)), "1e+17");
    EXPECT_EQ(encodeJSON(Json(1.5e300)), "1.5e+300");
}

TEST(JsonEncoding, RepairsInvalidUTF8SoTheFileStaysReadable) {
    std::string written = encodeJSON(Json(std::string("a\xff") + "b"));
    EXPECT_EQ(written, "\"a\xEF\xBF\xBD"
                       "b\"");
    EXPECT_NO_THROW(decodeJSON(written));
}

TEST(JsonEncoding, RoundTripsThroughTheDecoder) {
    Json value = decodeJSON(R"({"z":"a\/b","y":[1,-2,18446744073709551615],"x":{"é":"\u00e9\n"}})");
    EXPECT_EQ(encodeJSON(value), "{\"z\":\"a\\/b\",\"y\":[1,-2,18446744073709551615],\"x\":{\"é\":\"é\\n\"}}");
}

TEST(JsonDecoding, BuildsTheSameDocumentAsTheLibraryParser) {
    const std::string texts[] = {
        R"({"b":{"x":[{"k":1},{"k":2,"l":[[],{}]}],"y":null},"a":[true,false,-0,1.5e300,"s"],"c":{}})",
        // A repeated key keeps its first place and takes the last value.
        R"({"a":1,"b":{"n":[1]},"a":{"deep":[2,3]},"c":3,"b":4})",
        R"([1,[2,[3,{"x":"é\/"}]],18446744073709551615,-9223372036854775808,0.1])",
        R"("just a string")",
        "42",
        "null",
        " {\"spaced\" : [ 1 , 2 ] } ",
    };
    for (const std::string &text : texts) {
        Json expected = Json::parse(text);
        Json decoded = decodeJSON(text);
        EXPECT_EQ(decoded, expected) << text;
        EXPECT_EQ(encodeJSON(decoded), encodeJSON(expected)) << text;
    }
}

TEST(JsonDecoding, RejectsWhatIsNotOneJsonValue) {
    const std::string rejected[] = {
        "",
        "{",
        R"({"a":1,})",
        R"({"a":1} {"b":2})",
        "{'a':1}",
        "// comment\n{}",
        "NaN",
        std::string("\"\xff\""),         // invalid UTF-8 inside a string
        std::string("\"\xC0\xAF\""),     // overlong encoding of "/"
        std::string("\"\xED\xA0\x80\""), // encoded surrogate
        R"("\ud800")",                   // unpaired surrogate escape
    };
    for (const std::string &text : rejected) {
        EXPECT_THROW(decodeJSON(text), JsonDecodingError) << text;
    }
}

TEST(JsonDecoding, RefusesDeepNestingButNotBracketsInsideStrings) {
    EXPECT_NO_THROW(decodeJSON(std::string(512, '[') + std::string(512, ']')));
    EXPECT_THROW(decodeJSON(std::string(513, '[') + std::string(513, ']')), JsonDecodingError);
    // A hostile file of nothing but brackets is refused without parsing it.
    EXPECT_THROW(decodeJSON(std::string(20'000'000, '[')), JsonDecodingError);

    const Json value = decodeJSON("{\"a\":\"" + std::string(1000, '[') + "\\\"{\"}");
    EXPECT_EQ(value["a"].get<std::string>(), std::string(1000, '[') + "\"{");
}

TEST(JsonFields, ReadRequiredAndOptionalValuesIgnoringUnknownKeys) {
    Json object = decodeJSON(R"({"name":"a","flag":false,"count":18446744073709551615,"delta":-3,)"
                             R"("nothing":null,"extra":{"deep":[1]}})");
    EXPECT_EQ(requiredString(object, "name"), "a");
    EXPECT_FALSE(requiredBool(object, "flag"));
    EXPECT_EQ(requiredUInt64(object, "count"), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(requiredInt64(object, "delta"), -3);
    EXPECT_EQ(optionalString(object, "nothing"), std::nullopt);
    EXPECT_EQ(optionalString(object, "absent"), std::nullopt);
    EXPECT_EQ(optionalUInt64(object, "absent"), std::nullopt);
    EXPECT_EQ(optionalField(object, "nothing"), nullptr);
    EXPECT_NE(optionalField(object, "extra"), nullptr);
}

TEST(JsonFields, MissingOrMistypedFieldsNameTheKey) {
    Json object = decodeJSON(R"({"name":1,"flag":"yes","count":-1,"big":1e30,"frac":1.5,"nothing":null})");
    auto expectErrorNaming = [](auto read, const char *key) {
        try {
            read();
            ADD_FAILURE() << "no error for " << key;
        } catch (const JsonDecodingError &error) {
            EXPECT_NE(std::string(error.what()).find(key), std::string::npos) << error.what();
        }
    };
    expectErrorNaming([&] { requiredString(object, "name"); }, "name");
    expectErrorNaming([&] { requiredString(object, "missing"); }, "missing");
    expectErrorNaming([&] { requiredString(object, "nothing"); }, "nothing");
    expectErrorNaming([&] { requiredBool(object, "flag"); }, "flag");
    expectErrorNaming([&] { requiredUInt64(object, "count"); }, "count");
    expectErrorNaming([&] { requiredUInt64(object, "big"); }, "big");
    expectErrorNaming([&] { requiredUInt64(object, "frac"); }, "frac");
    expectErrorNaming([&] { requiredInt64(object, "big"); }, "big");
    expectErrorNaming([&] { optionalString(object, "name"); }, "name");
    expectErrorNaming([&] { requiredField(Json::array(), "anything"); }, "anything");
}

TEST(JsonFields, IntegralFloatsReadAsIntegers) {
    Json object = decodeJSON(R"({"count":3.0,"large":1e3})");
    EXPECT_EQ(requiredUInt64(object, "count"), 3u);
    EXPECT_EQ(requiredInt64(object, "large"), 1000);
}

TEST(JsonValues, UuidsAreWrittenUpperCaseAndReadInEitherCase) {
    Uuid uuid = *Uuid::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    EXPECT_EQ(encodeJSON(uuidJson(uuid)), R"("E621E1F8-C36C-495A-93FC-0C247A3E6E5F")");
    Json object = decodeJSON(R"({"id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f","bad":"nope","num":1})");
    EXPECT_EQ(requiredUuid(object, "id"), uuid);
    EXPECT_EQ(optionalUuid(object, "absent"), std::nullopt);
    EXPECT_THROW(requiredUuid(object, "bad"), JsonDecodingError);
    EXPECT_THROW(requiredUuid(object, "num"), JsonDecodingError);
    EXPECT_THROW(requiredUuid(object, "absent"), JsonDecodingError);
}

TEST(JsonValues, DatesAreIsoTextWithWholeSeconds) {
    Date date = dateFromSecondsSince1970(1767605400.75);
    EXPECT_EQ(encodeJSON(dateJson(date)), R"("2026-01-05T09:30:00Z")");
    Json object = decodeJSON(R"({"at":"2026-01-05T09:30:00Z","bad":"2026-01-05","num":5})");
    EXPECT_EQ(requiredDate(object, "at"), wholeSeconds(date));
    EXPECT_EQ(optionalDate(object, "absent"), std::nullopt);
    EXPECT_THROW(requiredDate(object, "bad"), JsonDecodingError);
    EXPECT_THROW(requiredDate(object, "num"), JsonDecodingError);
}

} // namespace
} // namespace velto
