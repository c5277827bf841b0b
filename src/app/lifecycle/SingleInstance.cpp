#include "app/lifecycle/SingleInstance.h"

#include <QtCore/QCryptographicHash>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QDir>
#include <QtCore/QThread>
#include <QtNetwork/QLocalServer>
#include <QtNetwork/QLocalSocket>

namespace velto {

namespace {

const QByteArray showRequest = "show\n";
const QByteArray shownReply = "shown\n";

} // namespace

QString SingleInstance::keyFor(const QString &bundleIdentifier, const QString &preferencesPath,
                               const QString &smokeStorageFolder) {
    QByteArray identity =
        (bundleIdentifier + QChar('\n') + preferencesPath + QChar('\n') + smokeStorageFolder).toUtf8();
    QByteArray digest = QCryptographicHash::hash(identity, QCryptographicHash::Sha256).toHex().left(16);
    return QStringLiteral("velto-") + QString::fromLatin1(digest);
}

QString SingleInstance::runtimeFolder() {
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists()) {
        return runtime;
    }
    return QDir::tempPath();
}

SingleInstance::SingleInstance(const QString &key, const QString &folder)
    : key_(key)
    , folder_(folder) {}

SingleInstance::~SingleInstance() {
    if (server_ != nullptr) {
        server_->close();
    }
}

QString SingleInstance::socketPath() const {
    return QDir(folder_).filePath(key_ + QStringLiteral(".socket"));
}

bool SingleInstance::becomePrimary() {
    lock_ = std::make_unique<QLockFile>(QDir(folder_).filePath(key_ + QStringLiteral(".lock")));
    // A lock left by a process that died is taken over (QLockFile checks the holder's process id).
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        lock_.reset();
        return false;
    }
    QLocalServer::removeServer(socketPath());
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::answerConnection);
    server_->listen(socketPath());
    return true;
}

void SingleInstance::answerConnection() {
    while (QLocalSocket *socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                return;
            }
            if (socket->readLine() == showRequest) {
                socket->write(shownReply);
                socket->flush();
                emit showRequested();
            }
            socket->disconnectFromServer();
        });
    }
}

bool SingleInstance::askPrimaryToShow(int timeoutMilliseconds) {
    QDeadlineTimer deadline(timeoutMilliseconds);
    // The primary may still be starting: its lock exists before its socket listens.
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 1)))) {
            socket.write(showRequest);
            socket.flush();
            // A primary that closes the connection unanswered (it is quitting) will not answer: waiting on a
            // closed socket returns at once, and looping on it would spin until the deadline.
            while (!socket.canReadLine() && !deadline.hasExpired() && socket.state() == QLocalSocket::ConnectedState) {
                socket.waitForReadyRead(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 1)));
            }
            return socket.canReadLine() && socket.readLine() == shownReply;
        }
        QThread::msleep(50);
    }
    return false;
}

} // namespace velto
