#include "editor/rules/RtfTextReader.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velto::editor::RtfTextReader {

namespace {

/// What a group carries over to the groups inside it.
struct GroupState {
    bool skipped = false;       // inside a destination whose text is not part of the document
    int fallbackCharacters = 1; // "\ucN": characters that follow each "\uN" for readers without Unicode
};

/// Destinations whose contents are not document text.
bool isSkippedDestination(std::string_view word) {
    static constexpr std::array<std::string_view, 30> destinations{
        "fonttbl",      "colortbl",  "stylesheet",        "info",     "pict",      "object",
        "header",       "headerl",   "headerr",           "headerf",  "footer",    "footerl",
        "footerr",      "footerf",   "footnote",          "fldinst",  "themedata", "colorschememapping",
        "datastore",    "listtable", "listoverridetable", "rsidtbl",  "generator", "xmlnstbl",
        "latentstyles", "revtbl",    "filetbl",           "pgdsctbl", "bkmkstart", "bkmkend",
    };
    for (std::string_view destination : destinations) {
        if (word == destination) {
            return true;
        }
    }
    return false;
}

/// The text a control word stands for, when it stands for text.
std::u16string_view textOfControlWord(std::string_view word) {
    struct Entry {
        std::string_view word;
        std::u16string_view text;
    };
    static constexpr std::array<Entry, 16> entries{{
        {"par", u"\n"},
        {"line", u"\n"},
        {"sect", u"\n"},
        {"page", u"\n"},
        {"row", u"\n"},
        {"tab", u"\t"},
        {"cell", u"\t"},
        {"emdash", u"\u2014"},
        {"endash", u"\u2013"},
        {"bullet", u"\u2022"},
        {"lquote", u"\u2018"},
        {"rquote", u"\u2019"},
        {"ldblquote", u"\u201C"},
        {"rdblquote", u"\u201D"},
        {"emspace", u"\u2003"},
        {"enspace", u"\u2002"},
    }};
    for (const Entry &entry : entries) {
        if (entry.word == word) {
            return entry.text;
        }
    }
    return {};
}

struct ConverterCloser {
    void operator()(UConverter *converter) const { ucnv_close(converter); }
};

class Reader {
public:
    explicit Reader(std::string_view rtf)
        : rtf_(rtf) {}

    std::optional<std::u16string> read() {
        if (rtf_.size() > maximumInputSize || !rtf_.starts_with("{\\rtf")) {
            return std::nullopt;
        }
        useCodePage("windows-1252");
        groups_.push_back(GroupState{});
        while (position_ < rtf_.size()) {
            const char byte = rtf_[position_];
            if (byte == '{') {
                ++position_;
                if (groups_.size() >= maximumNesting) {
                    return std::nullopt;
                }
                flushBytes();
                groups_.push_back(groups_.back());
            } else if (byte == '}') {
                ++position_;
                flushBytes();
                groups_.pop_back();
                if (groups_.size() == 1) {
                    break; // the document's group is closed: what follows is not part of it
                }
            } else if (byte == '\\') {
                ++position_;
                readControl();
            } else {
                ++position_;
                if (byte != '\r' && byte != '\n') {
                    appendByte(static_cast<unsigned char>(byte));
                }
            }
        }
        flushBytes();
        return std::move(text_);
    }

private:
    GroupState &group() { return groups_.back(); }

    static bool isLetter(char byte) { return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z'); }
    static bool isDigit(char byte) { return byte >= '0' && byte <= '9'; }

    void readControl() {
        if (position_ >= rtf_.size()) {
            return;
        }
        const char first = rtf_[position_];
        if (!isLetter(first)) {
            ++position_;
            readControlSymbol(first);
            return;
        }
        const std::size_t wordStart = position_;
        while (position_ < rtf_.size() && isLetter(rtf_[position_]) && position_ - wordStart < 32) {
            ++position_;
        }
        const std::string_view word = rtf_.substr(wordStart, position_ - wordStart);
        std::optional<long> parameter = readParameter();
        if (position_ < rtf_.size() && rtf_[position_] == ' ') {
            ++position_; // the space that ends a control word belongs to it
        }
        readControlWord(word, parameter);
    }

    std::optional<long> readParameter() {
        const std::size_t start = position_;
        bool negative = false;
        if (position_ < rtf_.size() && rtf_[position_] == '-') {
            negative = true;
            ++position_;
        }
        long value = 0;
        std::size_t digits = 0;
        while (position_ < rtf_.size() && isDigit(rtf_[position_])) {
            if (digits < 10) {
                value = value * 10 + (rtf_[position_] - '0');
            }
            ++digits;
            ++position_;
        }
        if (digits == 0) {
            position_ = start;
            return std::nullopt;
        }
        return negative ? -value : value;
    }

    void readControlSymbol(char symbol) {
        switch (symbol) {
        case '\\':
        case '{':
        case '}':
            appendByte(static_cast<unsigned char>(symbol));
            return;
        case '~':
            appendText(u"\u00A0");
            return;
        case '_':
            appendText(u"\u2011");
            return;
        case '\r':
        case '\n':
            appendText(u"\n");
            return;
        case '*':
            group().skipped = true; // an ignorable destination this reader does not know
            return;
        case '\'':
            readHexByte();
            return;
        default:
            return; // "\-" (optional hyphen) and other symbols stand for no text
        }
    }

    void readHexByte() {
        int value = 0;
        for (int digit = 0; digit < 2; ++digit) {
            if (position_ >= rtf_.size()) {
                return;
            }
            const char hex = rtf_[position_];
            int nibble = -1;
            if (isDigit(hex)) {
                nibble = hex - '0';
            } else if (hex >= 'a' && hex <= 'f') {
                nibble = hex - 'a' + 10;
            } else if (hex >= 'A' && hex <= 'F') {
                nibble = hex - 'A' + 10;
            }
            if (nibble < 0) {
                return;
            }
            value = value * 16 + nibble;
            ++position_;
        }
        appendByte(static_cast<unsigned char>(value));
    }

    void readControlWord(std::string_view word, std::optional<long> parameter) {
        if (isSkippedDestination(word)) {
            group().skipped = true;
        } else if (word == "uc" && parameter) {
            group().fallbackCharacters = static_cast<int>(std::clamp(*parameter, 0L, 16L));
        } else if (word == "u" && parameter) {
            const long unit = *parameter < 0 ? *parameter + 65536 : *parameter;
            appendText(std::u16string(1, static_cast<char16_t>(unit & 0xFFFF)));
            skipFallbackCharacters();
        } else if (word == "bin" && parameter) {
            // Binary data of the given length follows; it may hold any byte, braces included.
            position_ += std::min(static_cast<std::size_t>(std::max(*parameter, 0L)), rtf_.size() - position_);
        } else if (word == "ansicpg" && parameter) {
            useCodePage("windows-" + std::to_string(*parameter));
        } else if (word == "mac") {
            useCodePage("macintosh");
        } else if (word == "pc") {
            useCodePage("ibm-437");
        } else if (word == "pca") {
            useCodePage("ibm-850");
        } else {
            appendText(textOfControlWord(word));
        }
    }

    /// After "\uN", the next N characters are the fallback for readers without Unicode: a "\'hh" byte,
    /// a control word or symbol, or a plain character each count as one. A group boundary ends them.
    void skipFallbackCharacters() {
        for (int remaining = group().fallbackCharacters; remaining > 0 && position_ < rtf_.size(); --remaining) {
            const char byte = rtf_[position_];
            if (byte == '{' || byte == '}') {
                return;
            }
            ++position_;
            if (byte != '\\') {
                continue;
            }
            if (position_ >= rtf_.size()) {
                return;
            }
            if (rtf_[position_] == '\'') {
                position_ = std::min(position_ + 3, rtf_.size());
            } else if (isLetter(rtf_[position_])) {
                while (position_ < rtf_.size() && isLetter(rtf_[position_])) {
                    ++position_;
                }
                readParameter();
                if (position_ < rtf_.size() && rtf_[position_] == ' ') {
                    ++position_;
                }
            } else {
                ++position_;
            }
        }
    }

    void useCodePage(const std::string &name) {
        flushBytes();
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UConverter, ConverterCloser> converter(ucnv_open(name.c_str(), &status));
        if (U_SUCCESS(status) && converter) {
            converter_ = std::move(converter);
        }
    }

    void appendByte(unsigned char byte) {
        if (group().skipped) {
            return;
        }
        if (byte < 0x80 && pendingBytes_.empty()) {
            text_ += static_cast<char16_t>(byte);
            return;
        }
        pendingBytes_ += static_cast<char>(byte); // decoded together, so that two-byte code pages work
    }

    void appendText(std::u16string_view text) {
        if (group().skipped || text.empty()) {
            return;
        }
        flushBytes();
        text_ += text;
    }

    /// Decodes the bytes gathered since the last text in the current code page.
    void flushBytes() {
        if (pendingBytes_.empty()) {
            return;
        }
        std::u16string decoded(pendingBytes_.size() * 2 + 2, u'\0');
        UErrorCode status = U_ZERO_ERROR;
        const int32_t length = ucnv_toUChars(converter_.get(), decoded.data(), static_cast<int32_t>(decoded.size()),
                                             pendingBytes_.data(), static_cast<int32_t>(pendingBytes_.size()), &status);
        if (U_SUCCESS(status)) {
            decoded.resize(static_cast<std::size_t>(length));
            text_ += decoded;
        }
        pendingBytes_.clear();
    }

    std::string_view rtf_;
    std::size_t position_ = 0;
    std::vector<GroupState> groups_;
    std::unique_ptr<UConverter, ConverterCloser> converter_;
    std::string pendingBytes_;
    std::u16string text_;
};

} // namespace

std::optional<std::u16string> plainText(std::string_view rtf) {
    return Reader(rtf).read();
}

} // namespace velto::editor::RtfTextReader
