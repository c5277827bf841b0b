#include "PreferencesTestSupport.h"

#include "preferences/CommandCatalog.h"
#include "preferences/KeyboardSettingsFile.h"

#include <QtCore/QFile>

#include <system_error>

#include <sys/stat.h>

namespace velto {
namespace {

constexpr std::uint64_t option = ModifierFlags::option;
constexpr std::uint64_t command = ModifierFlags::command;

const QString notKeyboardSettings = QStringLiteral("This file isn’t a valid Velto keyboard settings file.");

/// The description of the error decoding gives, or "decoded".
QString decodingError(const QByteArray &bytes) {
    try {
        KeyboardSettingsFile::decode(bytes);
    } catch (const KeyboardSettingsFileError &error) {
        EXPECT_EQ(error.kind(), KeyboardSettingsFileError::Kind::invalid);
        return QString::fromUtf8(error.what());
    }
    return QStringLiteral("decoded");
}

const char *validDocument = R"({
  "version": 1,
  "globalShortcut": {"keyCode": 49, "modifiers": 524288, "keyLabel": "Space"},
  "appendClipboardShortcut": null,
  "appShortcuts": {"page.new": {"keyCode": 45, "modifiers": 1048576, "keyLabel": "N"}, "page.archive": null,
                   "not.a.command": null},
  "comment": "members nobody knows are ignored"
})";

class KeyboardSettingsFileTest : public testing::TemporaryPreferences {
protected:
    std::filesystem::path fileOfSize(std::size_t size) {
        std::filesystem::path path = folder.filePath("settings.json").toStdString();
        QFile file(QString::fromStdString(path.string()));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(static_cast<qsizetype>(size), ' '));
        return path;
    }
};

TEST_F(KeyboardSettingsFileTest, FileOfExactlyTheLimitIsReadInFull) {
    EXPECT_EQ(KeyboardSettingsFile::readData(fileOfSize(65536)).size(), 65536);
}

TEST_F(KeyboardSettingsFileTest, FIFOOrFolderIsRefusedByNameInsteadOfBlockingTheImport) {
    std::filesystem::path fifo = folder.filePath("settings.json").toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::path subfolder = folder.filePath("settings folder.json").toStdString();
    std::filesystem::create_directory(subfolder);
    for (const auto &[file, message] :
         {std::pair{fifo, "The file “settings.json” isn’t a regular file."},
          std::pair{subfolder, "The file “settings folder.json” isn’t a regular file."}}) {
        try {
            KeyboardSettingsFile::readData(file);
            ADD_FAILURE() << "read " << file;
        } catch (const KeyboardSettingsFileError &error) {
            EXPECT_EQ(error.kind(), KeyboardSettingsFileError::Kind::invalid);
            EXPECT_STREQ(error.what(), message);
        }
    }
}

TEST_F(KeyboardSettingsFileTest, LargerFileIsRefusedWithAMessageThatMatchesTheLimit) {
    try {
        KeyboardSettingsFile::readData(fileOfSize(65537));
        FAIL() << "read a file over the limit";
    } catch (const KeyboardSettingsFileError &error) {
        EXPECT_EQ(error.kind(), KeyboardSettingsFileError::Kind::tooLarge);
        EXPECT_EQ(error.limit(), 65536u);
        EXPECT_STREQ(error.what(), "Keyboard settings files must be smaller than 64 KiB.");
    }
    EXPECT_THROW(KeyboardSettingsFile::readData(fileOfSize(1 << 20)), KeyboardSettingsFileError);
}

TEST_F(KeyboardSettingsFileTest, LoadingOffTheMainThreadDeliversBytesOrTheError) {
    QFuture<QByteArray> loaded = KeyboardSettingsFile::loadData(fileOfSize(10));
    EXPECT_EQ(loaded.result(), QByteArray(10, ' '));

    QFuture<QByteArray> missing = KeyboardSettingsFile::loadData(folder.filePath("missing.json").toStdString());
    try {
        missing.waitForFinished();
        FAIL() << "a missing file was read";
    } catch (const std::system_error &error) {
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
        EXPECT_TRUE(std::string(error.what()).starts_with("The file “missing.json” couldn’t be opened"));
    }
}

TEST(KeyboardSettingsDecoding, ValidDocument) {
    KeyboardSettings settings = KeyboardSettingsFile::decode(validDocument);
    EXPECT_EQ(settings.version, 1);
    EXPECT_EQ(settings.globalShortcut, (GlobalShortcut{49, option, "Space"}));
    EXPECT_EQ(settings.appendClipboardShortcut, std::nullopt);
    ASSERT_EQ(settings.appShortcuts.size(), 3u);
    EXPECT_EQ(settings.appShortcuts.at("page.new"), (GlobalShortcut{45, command, "N"}));
    EXPECT_EQ(settings.appShortcuts.at("page.archive"), std::nullopt);
    EXPECT_TRUE(settings.appShortcuts.contains("not.a.command"));
}

TEST(KeyboardSettingsDecoding, InvalidDocumentsAreRefusedWithTheirMessages) {
    const std::pair<const char *, QString> cases[] = {
        {R"({"version":2,"globalShortcut":null,"appendClipboardShortcut":null,"appShortcuts":{}})",
         "Unsupported keyboard settings version 2."},
        {R"({"version":-3})", "Unsupported keyboard settings version -3."},
        {R"({"version":1,"globalShortcut":null,"appShortcuts":{}})",
         "Keyboard settings are missing a global shortcut."},
        {R"({"version":1,"appendClipboardShortcut":null,"appShortcuts":{}})",
         "Keyboard settings are missing a global shortcut."},
        {R"({"globalShortcut":null,"appendClipboardShortcut":null,"appShortcuts":{}})", notKeyboardSettings},
        {R"({"version":"1","globalShortcut":null,"appendClipboardShortcut":null,"appShortcuts":{}})",
         notKeyboardSettings},
        {R"({"version":1.5,"globalShortcut":null,"appendClipboardShortcut":null,"appShortcuts":{}})",
         notKeyboardSettings},
        {R"({"version":1,"globalShortcut":null,"appendClipboardShortcut":null})", notKeyboardSettings},
        {R"({"version":1,"globalShortcut":null,"appendClipboardShortcut":null,"appShortcuts":[]})",
         notKeyboardSettings},
        {R"({"version":1,"globalShortcut":7,"appendClipboardShortcut":null,"appShortcuts":{}})", notKeyboardSettings},
        {R"({"version":1,"globalShortcut":{"keyCode":49,"modifiers":524288},"appendClipboardShortcut":null,
             "appShortcuts":{}})",
         notKeyboardSettings},
        {R"([1, 2])", notKeyboardSettings},
        {R"({"version":1,"globalShortcut":{"keyCode":49,"modifiers":65536,"keyLabel":"Space"},
             "appendClipboardShortcut":null,"appShortcuts":{}})",
         "Shortcut contains unsupported modifiers."},
        {R"({"version":1,"globalShortcut":null,"appendClipboardShortcut":null,
             "appShortcuts":{"page.new":{"keyCode":45,"modifiers":1048576,"keyLabel":"NN"}}})",
         "Shortcut key label is invalid."},
        {R"({"version":1,"globalShortcut":null,"appendClipboardShortcut":{"keyCode":0,"modifiers":0,"keyLabel":"F3"},
             "appShortcuts":{}})",
         "Shortcut special-key label does not match its key code."},
    };
    for (const auto &[json, message] : cases) {
        EXPECT_EQ(decodingError(json), message) << json;
    }
}

TEST(KeyboardSettingsDecoding, TextThatIsNotJsonCarriesTheReadersDescription) {
    for (const QByteArray &bytes : {QByteArray(), QByteArray("{"), QByteArray("\xff\xfe"), QByteArray("{} {}")}) {
        QString message = decodingError(bytes);
        EXPECT_TRUE(message.startsWith("The file isn’t valid JSON: parse error")) << message.toStdString();
    }
}

TEST(KeyboardSettingsEncoding, SortedIndentedAndSlashesUnescaped) {
    KeyboardSettings settings{1,
                              GlobalShortcut{44, option, "/"},
                              std::nullopt,
                              {{"page.new", GlobalShortcut{45, command, "N"}}, {"page.archive", std::nullopt}}};
    QByteArray encoded = KeyboardSettingsFile::encode(settings);
    EXPECT_EQ(encoded.toStdString(), R"({
  "appShortcuts": {
    "page.archive": null,
    "page.new": {
      "keyCode": 45,
      "keyLabel": "N",
      "modifiers": 1048576
    }
  },
  "appendClipboardShortcut": null,
  "globalShortcut": {
    "keyCode": 44,
    "keyLabel": "/",
    "modifiers": 524288
  },
  "version": 1
}
)");
}

TEST_F(KeyboardSettingsFileTest, ExportedSettingsImportUnchanged) {
    setShortcut(VeltoCommandID::decreaseTextSize, std::nullopt);
    setShortcut(VeltoCommandID::newPage, GlobalShortcut{45, option | command, "ñ"});
    VeltoPreferences::setAppendClipboardShortcut(std::nullopt);
    KeyboardSettings exported = VeltoPreferences::keyboardSettings();
    EXPECT_EQ(exported.appShortcuts.size(), 14u);

    std::filesystem::path path = folder.filePath("exported.json").toStdString();
    QFile file(QString::fromStdString(path.string()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(KeyboardSettingsFile::encode(exported));
    file.close();

    KeyboardSettings imported = KeyboardSettingsFile::decode(KeyboardSettingsFile::readData(path));
    EXPECT_EQ(imported, exported);
    EXPECT_EQ(imported.appShortcuts.at("editor.text-size.decrease"), std::nullopt);
    EXPECT_EQ(imported.appShortcuts.at("page.new")->keyLabel, QStringLiteral("ñ"));
}

} // namespace
} // namespace velto
