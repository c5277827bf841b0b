#include "preferences/KeyboardSettingsFile.h"

#include <QtCore/QPromise>
#include <QtCore/QThreadPool>

#include "platform/FileSystem.h"

#include <cerrno>
#include <exception>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>
#include <system_error>

namespace velto {

namespace {

const std::string notKeyboardSettings = "This file isn’t a valid Velto keyboard settings file.";

/// A member missing or of the wrong JSON type: the file is not a keyboard-settings file at all.
struct WrongShape {};

std::string fileName(const std::filesystem::path &file) {
    std::u8string name = file.filename().u8string();
    return std::string(name.begin(), name.end());
}

/// The error the import reports for a file that could not be read: too large, not a file at all, or the system's
/// reason, saying whether opening or reading the file failed.
std::exception_ptr readingErrorOf(const FileSystemError &error, const std::filesystem::path &file) {
    if (error.code() == EFBIG) {
        return std::make_exception_ptr(KeyboardSettingsFileError::tooLarge(KeyboardSettingsFile::maximumSize));
    }
    if (error.isNotARegularFile() || error.code() == EISDIR) {
        return std::make_exception_ptr(
            KeyboardSettingsFileError::invalid("The file “" + fileName(file) + "” isn’t a regular file."));
    }
    const char *failure = error.operation() == "Reading" ? "” couldn’t be read" : "” couldn’t be opened";
    return std::make_exception_ptr(
        std::system_error(error.code(), std::generic_category(), "The file “" + fileName(file) + failure));
}

/// nlohmann's message without its "[json.exception.parse_error.101] " prefix.
std::string readerDescription(const nlohmann::json::exception &error) {
    std::string message = error.what();
    std::size_t end = message.find("] ");
    if (message.starts_with("[json.exception.") && end != std::string::npos) {
        message = message.substr(end + 2);
    }
    return "The file isn’t valid JSON: " + message;
}

std::optional<GlobalShortcut> optionalShortcut(const nlohmann::json &value) {
    if (value.is_null()) {
        return std::nullopt;
    }
    try {
        return GlobalShortcut::decoded(value);
    } catch (const ShortcutFormatError &) {
        throw WrongShape{};
    }
}

int decodedVersion(const nlohmann::json &document) {
    if (!document.contains("version")) {
        throw WrongShape{};
    }
    const nlohmann::json &version = document.at("version");
    if (!version.is_number_integer()) {
        throw WrongShape{};
    }
    if (version.is_number_unsigned() && version.get<std::uint64_t>() > std::numeric_limits<std::int64_t>::max()) {
        throw WrongShape{};
    }
    std::int64_t number = version.get<std::int64_t>();
    if (number != 1) {
        throw KeyboardSettingsFileError::invalid("Unsupported keyboard settings version " + std::to_string(number) +
                                                 ".");
    }
    return 1;
}

KeyboardSettings decodedDocument(const nlohmann::json &document) {
    if (!document.is_object()) {
        throw WrongShape{};
    }
    KeyboardSettings settings;
    settings.version = decodedVersion(document);
    if (!document.contains("globalShortcut") || !document.contains("appendClipboardShortcut")) {
        throw KeyboardSettingsFileError::invalid("Keyboard settings are missing a global shortcut.");
    }
    settings.globalShortcut = optionalShortcut(document.at("globalShortcut"));
    settings.appendClipboardShortcut = optionalShortcut(document.at("appendClipboardShortcut"));
    if (!document.contains("appShortcuts") || !document.at("appShortcuts").is_object()) {
        throw WrongShape{};
    }
    for (const auto &[name, value] : document.at("appShortcuts").items()) {
        settings.appShortcuts[QString::fromStdString(name)] = optionalShortcut(value);
    }
    return settings;
}

nlohmann::json encodedShortcut(const std::optional<GlobalShortcut> &shortcut) {
    if (!shortcut) {
        return nullptr;
    }
    return nlohmann::json(shortcut->encoded());
}

} // namespace

KeyboardSettingsFileError::KeyboardSettingsFileError(Kind kind, std::uint64_t limit, const std::string &description)
    : std::runtime_error(description)
    , kind_(kind)
    , limit_(limit) {}

KeyboardSettingsFileError KeyboardSettingsFileError::invalid(const std::string &description) {
    return {Kind::invalid, 0, description};
}

KeyboardSettingsFileError KeyboardSettingsFileError::tooLarge(std::uint64_t limit) {
    return {Kind::tooLarge, limit,
            "Keyboard settings files must be smaller than " + std::to_string(limit / 1024) + " KiB."};
}

namespace KeyboardSettingsFile {

QByteArray readData(const std::filesystem::path &file) {
    std::string bytes;
    try {
        // Only a regular file is read, and it is opened without waiting: a FIFO chosen as the file would otherwise
        // block the import for ever.
        bytes = defaultFileSystem().readFile(file, maximumSize);
    } catch (const FileSystemError &error) {
        std::rethrow_exception(readingErrorOf(error, file));
    }
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QFuture<QByteArray> loadData(const std::filesystem::path &file) {
    auto promise = std::make_shared<QPromise<QByteArray>>();
    QFuture<QByteArray> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, file] {
        try {
            promise->addResult(readData(file));
        } catch (...) {
            promise->setException(std::current_exception());
        }
        promise->finish();
    });
    return future;
}

KeyboardSettings decode(const QByteArray &bytes) {
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(bytes.begin(), bytes.end());
    } catch (const nlohmann::json::exception &error) {
        throw KeyboardSettingsFileError::invalid(readerDescription(error));
    }
    try {
        return decodedDocument(document);
    } catch (const ShortcutDecodingError &error) {
        throw KeyboardSettingsFileError::invalid(error.what());
    } catch (const WrongShape &) {
        throw KeyboardSettingsFileError::invalid(notKeyboardSettings);
    }
}

QByteArray encode(const KeyboardSettings &settings) {
    // nlohmann::json keeps object members sorted by name; it never escapes "/".
    nlohmann::json appShortcuts = nlohmann::json::object();
    for (const auto &[name, shortcut] : settings.appShortcuts) {
        appShortcuts[name.toStdString()] = encodedShortcut(shortcut);
    }
    nlohmann::json document = nlohmann::json::object();
    document["version"] = 1;
    document["globalShortcut"] = encodedShortcut(settings.globalShortcut);
    document["appendClipboardShortcut"] = encodedShortcut(settings.appendClipboardShortcut);
    document["appShortcuts"] = std::move(appShortcuts);
    std::string text = document.dump(2) + "\n";
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace KeyboardSettingsFile

} // namespace velto
