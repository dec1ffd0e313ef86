#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace zanto {

namespace {

const QByteArray confirmation = "ok\n";
const QByteArray refusal = "not opened\n";

void report(const QString& text)
{
    std::fprintf(stderr, "zantorix: %s\n", text.toLocal8Bit().constData());
}

// One line from `socket`, or empty when the connection ends first.
QByteArray readLine(QLocalSocket& socket)
{
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(-1)) return {};
    }
    return socket.readLine();
}

// A path as one line: its bytes percent-encoded, so that neither a line break
// nor bytes of another encoding change on the way.
QByteArray encodedPath(const std::filesystem::path& path)
{
    return QByteArray::fromStdString(path.native()).toPercentEncoding() + '\n';
}

std::filesystem::path decodedPath(const QByteArray& line)
{
    return QByteArray::fromPercentEncoding(line.trimmed()).toStdString();
}

} // namespace

SingleInstance::SingleInstance(QString folder) : folder_(std::move(folder)) { }

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

void SingleInstance::listen(std::function<bool(const std::filesystem::path&)> received)
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
                const std::filesystem::path path = decodedPath(socket->readLine());
                // Out of the socket's slot: the receiver may run modal dialogs,
                // and the launch that asked may be gone by their end.
                QTimer::singleShot(0, &server_, [received, path, asked = QPointer<QLocalSocket>(socket)] {
                    const bool opened = received(path);
                    if (!asked) return;
                    asked->write(opened ? confirmation : refusal);
                    asked->flush();
                    asked->disconnectFromServer();
                });
            });
        }
    });
}

bool SingleInstance::handOver(const std::filesystem::path& path) const
{
    const std::filesystem::path absolute = path.empty() ? path : std::filesystem::absolute(path);
    // The running instance may still be starting up: retry for a while.
    const QDeadlineTimer deadline(10000);
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(socketName());
        if (socket.waitForConnected(1000)) break;
        if (deadline.hasExpired()) {
            report(
                QStringLiteral("another instance holds %1 but does not answer: %2").arg(folder_, socket.errorString()));
            return false;
        }
        QThread::msleep(100);
    }
    socket.write(encodedPath(absolute));
    // The answer comes once the path is opened, which may first ask the
    // person whether to leave unsaved changes.
    const QByteArray answer = readLine(socket);
    if (answer == confirmation) return true;
    if (answer == refusal) {
        report(QStringLiteral("the running instance did not open %1").arg(QFile::decodeName(absolute.c_str())));
        return false;
    }
    report(QStringLiteral("another instance holds %1 but did not take the request").arg(folder_));
    return false;
}

} // namespace zanto
