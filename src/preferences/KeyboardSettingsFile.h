#pragma once

#include "preferences/KeyboardSettings.h"

#include <QtCore/QByteArray>
#include <QtCore/QFuture>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace velto {

/// A keyboard-settings file that cannot be used; what() is the sentence shown to the user.
class KeyboardSettingsFileError : public std::runtime_error {
public:
    enum class Kind { invalid, tooLarge };

    static KeyboardSettingsFileError invalid(const std::string &description);
    /// "Keyboard settings files must be smaller than 64 KiB." for the limit 65,536.
    static KeyboardSettingsFileError tooLarge(std::uint64_t limit);

    Kind kind() const { return kind_; }
    std::uint64_t limit() const { return limit_; }

private:
    KeyboardSettingsFileError(Kind kind, std::uint64_t limit, const std::string &description);

    Kind kind_;
    std::uint64_t limit_;
};

/// Reading, decoding and encoding keyboard-settings files (UTF-8 JSON).
namespace KeyboardSettingsFile {

/// The largest file accepted, in bytes; a file of exactly this size is read.
inline constexpr std::uint64_t maximumSize = 65536;

/// Reads the file on a worker thread. The future holds its bytes, or the error: tooLarge for a file longer
/// than maximumSize (its content is never parsed), a std::system_error when it cannot be opened or read.
QFuture<QByteArray> loadData(const std::filesystem::path &file);
/// The same reading, on the calling thread; never holds more than maximumSize + 1 bytes.
QByteArray readData(const std::filesystem::path &file);

/// The document in the bytes; every failure is a KeyboardSettingsFileError of kind invalid.
KeyboardSettings decode(const QByteArray &bytes);

/// Indented JSON with members sorted by name at every level and "/" unescaped.
QByteArray encode(const KeyboardSettings &settings);

} // namespace KeyboardSettingsFile

} // namespace velto
