// The reveal asks the session bus's file manager to show the file. A private
// dbus-daemon carries the call to a stand-in file manager that records it.
#include "OrganizerTestSupport.h"
#include "organizer/OrganizerReveal.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QUrl>

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

namespace zanto::test {
namespace {

class StandInFileManager : public QDBusVirtualObject {
public:
    std::optional<QDBusMessage> received;

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        received = message;
        connection.send(message.createReply());
        return true;
    }
};

TEST(OrganizerDialogsReveal, ShowItemsReachesTheFileManagerElseTheFolderOpens)
{
    const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
    if (daemon.isEmpty()) GTEST_SKIP() << "dbus-daemon is not installed";
    QProcess bus;
    bus.start(daemon, {"--session", "--nofork", "--print-address=1"});
    ASSERT_TRUE(bus.waitForReadyRead(5000)) << "dbus-daemon did not start";
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    // Before the application or anything else opens the session bus.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    testApplication();

    QDBusConnection standIn = QDBusConnection::connectToBus(address, "stand-in-file-manager");
    StandInFileManager fileManager;
    ASSERT_TRUE(standIn.registerService("org.freedesktop.FileManager1"));
    ASSERT_TRUE(standIn.registerVirtualObject("/org/freedesktop/FileManager1", &fileManager));

    const TempDir temp("zanto-reveal-");
    const auto movie = temp / "Match 1 #.mp4";
    std::ofstream(movie) << "x";
    revealInFileManager(QString::fromStdString(movie.string()));

    const QDeadlineTimer deadline(5000);
    while (!fileManager.received && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(fileManager.received) << "no call reached the file manager";
    EXPECT_EQ(fileManager.received->interface(), "org.freedesktop.FileManager1");
    EXPECT_EQ(fileManager.received->member(), "ShowItems");
    const QList<QVariant> arguments = fileManager.received->arguments();
    ASSERT_EQ(arguments.size(), 2);
    const QStringList uris = arguments.at(0).toStringList();
    ASSERT_EQ(uris.size(), 1);
    EXPECT_EQ(QUrl(uris.first()).toLocalFile().toStdString(), movie.string());
    EXPECT_EQ(uris.first().count(' '), 0) << "the URI is sent encoded";
    EXPECT_EQ(arguments.at(1).toString(), "");

    // Without a file manager on the bus the folder opens instead.
    QTextBrowser desktop;
    QDesktopServices::setUrlHandler("file", &desktop, "setSource");
    standIn.unregisterService("org.freedesktop.FileManager1");
    revealInFileManager(QString::fromStdString(movie.string()));
    const QDeadlineTimer fallback(5000);
    while (desktop.source().isEmpty() && !fallback.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(desktop.source().toLocalFile().toStdString(), temp.path().string());
    QDesktopServices::unsetUrlHandler("file");
    QDBusConnection::disconnectFromBus("stand-in-file-manager");
    bus.kill();
    bus.waitForFinished();
}

} // namespace
} // namespace zanto::test
