#pragma once

#include <QtCore/QLockFile>
#include <QtCore/QObject>
#include <QtCore/QString>

#include <memory>

class QLocalServer;

namespace velto {

/// One running Velto per user setup. The first launch holds a lock file in the runtime folder and listens on a
/// local socket beside it; a later launch with the same key finds the lock taken, asks the running one to show
/// its panel and ends.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    /// The lock and socket names for a key: the bundle identifier, the preferences file and, for a smoke-test
    /// launch, its storage folder.
    static QString keyFor(const QString &bundleIdentifier, const QString &preferencesPath,
                          const QString &smokeStorageFolder);
    /// $XDG_RUNTIME_DIR, else the temporary folder.
    static QString runtimeFolder();

    explicit SingleInstance(const QString &key, const QString &folder = runtimeFolder());
    ~SingleInstance() override;

    /// Takes the lock and starts listening: true for the first instance. False when another process holds it.
    bool becomePrimary();

    /// As a later instance: asks the primary to show its panel; true when it answered within the time.
    bool askPrimaryToShow(int timeoutMilliseconds = 20'000);

    QString socketPath() const;

signals:
    /// On the primary: a later launch asks to be shown.
    void showRequested();

private:
    void answerConnection();

    QString key_;
    QString folder_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer *server_ = nullptr;
};

} // namespace velto
