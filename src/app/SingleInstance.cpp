#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace zanto {

namespace {

const QByteArray confirmation = "ok\n";

void report(const QString& text)
{
    std::fprintf(stderr, "zantorix: %s\n", text.toLocal8Bit().constData());
}

// One line from `socket`, or empty when none arrives before `deadline`.
QByteArray readLine(QLocalSocket& socket, const QDeadlineTimer& deadline)
{
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return {};
    }
    return socket.readLine();
}

} // namespace

SingleInstance::SingleInstance(QString folder) : folder_(std::move(folder)) {}

SingleInstance::~SingleInstance()
{
    server_.close();
    if (lock_ >= 0) ::close(lock_);
}

QString SingleInstance::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/ZANTORIX");
}

bool SingleInstance::claim()
{
    if (!QDir().mkpath(folder_)) {
        report(QStringLiteral("cannot create %1").arg(folder_));
        return true;
    }
    lock_ = ::open(QFile::encodeName(folder_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock_ < 0) {
        report(QStringLiteral("cannot open %1: %2").arg(folder_, QString::fromLocal8Bit(std::strerror(errno))));
        return true;
    }
    while (::flock(lock_, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const int error = errno;
        ::close(lock_);
        lock_ = -1;
        if (error == EWOULDBLOCK) return false;
        report(QStringLiteral("cannot lock %1: %2").arg(folder_, QString::fromLocal8Bit(std::strerror(error))));
        return true;
    }
    return true;
}

// Per user and folder, short enough for a socket path under any data folder.
QString SingleInstance::socketName() const
{
    const QByteArray canonical = QFile::encodeName(QFileInfo(folder_).canonicalFilePath());
    const QByteArray hash = QCryptographicHash::hash(canonical, QCryptographicHash::Sha256).toHex().left(16);
    const QString name = QStringLiteral("zantorix-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
    // The user's runtime folder is private to them; without one the socket
    // goes to the temporary folder under a per-user name.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) return runtime + QLatin1Char('/') + name;
    return name;
}

void SingleInstance::listen(std::function<void(const QString&)> received)
{
    // Holding the lock makes any socket left by a crashed run ours to remove.
    QLocalServer::removeServer(socketName());
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(socketName())) {
        report(QStringLiteral("cannot listen for other launches: %1").arg(server_.errorString()));
        return;
    }
    QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this, received] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket, received] {
                if (!socket->canReadLine()) return;
                const QString path = QUrl::fromPercentEncoding(socket->readLine().trimmed());
                socket->write(confirmation);
                socket->flush();
                socket->disconnectFromServer();
                // Out of the socket's slot: the receiver may run modal dialogs.
                QTimer::singleShot(0, &server_, [received, path] { received(path); });
            });
        }
    });
}

bool SingleInstance::handOver(const QString& path) const
{
    const QString absolute = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
    // The running instance may still be starting up: retry for a while.
    const QDeadlineTimer deadline(10000);
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(socketName());
        if (socket.waitForConnected(1000)) break;
        if (deadline.hasExpired()) {
            report(QStringLiteral("another instance holds %1 but does not answer: %2")
                       .arg(folder_, socket.errorString()));
            return false;
        }
        QThread::msleep(100);
    }
    // Percent-encoded, so that a line break in a file name cannot end the line.
    socket.write(QUrl::toPercentEncoding(absolute) + '\n');
    if (readLine(socket, deadline) != confirmation) {
        report(QStringLiteral("another instance holds %1 but did not take the request").arg(folder_));
        return false;
    }
    return true;
}

} // namespace zanto
