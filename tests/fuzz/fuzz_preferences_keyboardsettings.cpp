// Feeds arbitrary bytes to the keyboard-settings decoder: it must either give a document or refuse with a
// KeyboardSettingsFileError, and whatever it accepts must survive encoding and decoding unchanged.
#include "preferences/KeyboardSettingsFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size > velto::KeyboardSettingsFile::maximumSize) {
        return 0; // larger files are refused before they are parsed
    }
    QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    velto::KeyboardSettings settings;
    try {
        settings = velto::KeyboardSettingsFile::decode(bytes);
    } catch (const velto::KeyboardSettingsFileError &) {
        return 0;
    }
    velto::KeyboardSettings reread = velto::KeyboardSettingsFile::decode(velto::KeyboardSettingsFile::encode(settings));
    if (!(reread == settings)) {
        std::abort();
    }
    return 0;
}
