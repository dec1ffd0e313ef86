// One application per data folder: a second launch hands its path to the
// running one and ends without touching the recovery file.
#include "playlist/OrganizerDocument.h"
#include "support/TempDir.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace zanto::test {
namespace {

std::string readAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class OrganizerDialogsSingleInstance : public testing::Test {
protected:
    // No recovery file: recovered work would count as unsaved, and every
    // handed-over playlist would first ask whether to replace it.
    OrganizerDialogsSingleInstance() { std::filesystem::create_directories(folder); }

    // Runs the application on the temporary data folder.
    void launch(QProcess& process, const QStringList& arguments, const QString& program = ZANTO_APP_PATH)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("XDG_DATA_HOME", QString::fromStdString((home / "data").string()));
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString((home / "config").string()));
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        ASSERT_TRUE(process.waitForStarted());
    }

    // Waits until the recovery file holds `text`, as it does once the running
    // instance has opened a playlist of that title.
    bool recoveryHolds(const std::string& text) const
    {
        const QDeadlineTimer deadline(30000);
        while (readAll(recovery).find(text) == std::string::npos && !deadline.hasExpired()) QThread::msleep(50);
        return readAll(recovery).find(text) != std::string::npos;
    }

    // Runs the application with "<stem>-été.zantoplaylist" as its argument, "été"
    // in Latin-1: bytes that are not UTF-8, as a file manager passes them.
    void launchLatin(QProcess& process, const std::string& stem)
    {
        launch(process,
               {"-c", R"(exec "$0" "$1-$(printf '\351t\351').zantoplaylist")", ZANTO_APP_PATH,
                QString::fromStdString((home / stem).string())},
               "/bin/sh");
    }

    // A playlist titled `title` saved where launchLatin(title) points.
    void saveLatin(const std::string& title) const
    {
        OrganizerDocument document;
        document.title = title;
        document.write((home / title).string() + "-\xe9t\xe9.zantoplaylist", false);
    }

    // Whether some process holds the folder's lock.
    bool locked() const
    {
        const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const bool busy = ::flock(descriptor, LOCK_EX | LOCK_NB) != 0;
        ::close(descriptor);
        return busy;
    }

    TempDir home{"zanto-instance-"};
    std::filesystem::path folder = home / "data" / "ZANTORIX";
    std::filesystem::path recovery = folder / "organizer-recovery.json";
    // What the recovery file holds until an instance writes it.
    const std::string seeded;
};

TEST_F(OrganizerDialogsSingleInstance, SecondLaunchHandsOverAndEnds)
{
    QProcess first;
    launch(first, {});
    const QDeadlineTimer deadline(30000);
    while (!locked() && !deadline.hasExpired()) QThread::msleep(50);
    ASSERT_TRUE(locked()) << "the first instance never took the lock";

    QProcess plain;
    launch(plain, {});
    ASSERT_TRUE(plain.waitForFinished(30000));
    EXPECT_EQ(plain.exitCode(), 0) << plain.readAllStandardError().toStdString();
    EXPECT_EQ(readAll(recovery), seeded);

    OrganizerDocument handed;
    handed.title = "Handed";
    handed.write(home / "Handed.zantoplaylist", false);
    QProcess opener;
    launch(opener, {QString::fromStdString((home / "Handed.zantoplaylist").string())});
    ASSERT_TRUE(opener.waitForFinished(30000));
    EXPECT_EQ(opener.exitCode(), 0) << opener.readAllStandardError().toStdString();
    // The running instance opened it: its recovery file now holds that playlist.
    while (readAll(recovery).find("Handed") == std::string::npos && !deadline.hasExpired()) QThread::msleep(50);
    EXPECT_NE(readAll(recovery).find("Handed"), std::string::npos);
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished();
}

TEST_F(OrganizerDialogsSingleInstance, FailedHandoverEndsWithAMessageAndTouchesNothing)
{
    // A holder of the lock that never answers.
    const int holder = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    QProcess second;
    launch(second, {QString::fromStdString((home / "Other.zantoplaylist").string())});
    ASSERT_TRUE(second.waitForFinished(60000));
    ::close(holder);
    EXPECT_NE(second.exitCode(), 0);
    EXPECT_FALSE(second.readAllStandardError().isEmpty());
    EXPECT_EQ(readAll(recovery), seeded);
}

// A name the file system holds as bytes that are not UTF-8 reaches the
// playlist both on the command line and handed to the running instance; a
// name the running instance cannot open is not taken as handed over.
TEST_F(OrganizerDialogsSingleInstance, NamesThatAreNotUtf8ArriveAsTheirBytes)
{
    saveLatin("Started");
    saveLatin("Handed");
    QProcess first, handed, missing;
    launchLatin(first, "Started");
    ASSERT_TRUE(recoveryHolds("Started")) << "the command line's playlist was not opened";

    launchLatin(handed, "Handed");
    ASSERT_TRUE(handed.waitForFinished(30000));
    EXPECT_EQ(handed.exitCode(), 0) << handed.readAllStandardError().toStdString();
    EXPECT_TRUE(recoveryHolds("Handed"));

    launchLatin(missing, "Missing");
    ASSERT_TRUE(missing.waitForFinished(30000));
    EXPECT_EQ(missing.exitCode(), 1);
    EXPECT_TRUE(recoveryHolds("Handed"));
    first.kill();
    first.waitForFinished();
}

} // namespace
} // namespace zanto::test
