// Work recovered after a run ended (killed, or quit) is never replaced
// without a question unless it was saved. Each run is a process of its own,
// this test program run as an Organizer driven through its standard input,
// ended by SIGKILL or by quitting.
#include "organizer/OrganizerTestSupport.h"

#include <QProcess>

#include <iostream>

namespace zanto::test {
namespace {

constexpr const char* replacing = "別のプレイリストへ切り替えますか？";

// One line of standard input, one command: "title <name>" adds a title slide,
// "save <path>" saves a package and waits for the save, "open <path>" opens a
// package (answering "キャンセル" to any question), "quit" ends the run.
// Each answers "reply <what>" on standard output.
std::string runCommand(Organizer& organizer, const std::string& verb, const QString& argument)
{
    OrganizerScriptedDialogs& dialogs = scripted(organizer);
    if (verb == "title") {
        dialogs.asks.push_back(argument);
        organizer.addTitle();
    } else if (verb == "save") {
        dialogs.saves.push_back(OrganizerSaveAnswer{.path = argument, .checked = false});
        organizer.saveDocument();
        while (organizer.busy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    } else if (verb == "open") {
        dialogs.calls.clear();
        dialogs.packages.push_back(argument);
        organizer.openDocument();
        const bool asked = std::any_of(dialogs.calls.begin(), dialogs.calls.end(), [](const auto& call) {
            return call.kind == "alert" && call.texts.front() == replacing;
        });
        return asked ? "asked" : "not asked";
    }
    return "done";
}

TEST(OrganizerRecoveredWork, Run)
{
    const QByteArray folder = qgetenv("ZANTO_RECOVERY_RUN");
    if (folder.isEmpty()) GTEST_SKIP() << "a run of the tests below, in a process of its own";
    auto organizer = makeOrganizer(folder.toStdString());
    for (std::string line; std::getline(std::cin, line) && line != "quit";) {
        const size_t space = line.find(' ');
        const QString argument = space == std::string::npos ? QString() : QString::fromStdString(line.substr(space + 1));
        std::cout << "reply " << runCommand(*organizer, line.substr(0, space), argument) << std::endl;
    }
    organizer.reset();
}

// A run of the Organizer on `folder` in a process of its own.
class OrganizerRun {
public:
    explicit OrganizerRun(const std::filesystem::path& folder)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("ZANTO_RECOVERY_RUN", QString::fromStdString(folder.string()));
        process_.setProcessEnvironment(environment);
        process_.start(QString::fromStdString(std::filesystem::read_symlink("/proc/self/exe").string()),
                       {"--gtest_filter=OrganizerRecoveredWork.Run"});
        EXPECT_TRUE(process_.waitForStarted());
    }
    ~OrganizerRun() { kill(); }

    // Sends one command and waits for its reply.
    std::string send(const std::string& command)
    {
        process_.write((command + "\n").c_str());
        while (process_.waitForReadyRead(60000) || process_.canReadLine()) {
            while (process_.canReadLine()) {
                const QString line = QString::fromUtf8(process_.readLine()).trimmed();
                if (line.startsWith("reply ")) return line.mid(6).toStdString();
            }
        }
        ADD_FAILURE() << "no reply to " << command;
        return {};
    }
    void kill()
    {
        process_.kill(); // SIGKILL
        process_.waitForFinished();
    }
    void quit()
    {
        process_.write("quit\n");
        EXPECT_TRUE(process_.waitForFinished(60000));
        EXPECT_EQ(process_.exitCode(), 0);
    }

private:
    QProcess process_;
};

struct RecoveredCase {
    const char* name;
    bool save;  // the edit is saved to a package before the run ends
    bool kill;  // the run is killed (else it quits)
    bool asked; // opening another package asks first
};

class OrganizerRecoveredWorkCases : public ::testing::TestWithParam<RecoveredCase> { };

TEST_P(OrganizerRecoveredWorkCases, OpeningAnotherAsksOnlyForUnsavedWork)
{
    const RecoveredCase& c = GetParam();
    testApplication();
    TempDir home;
    const std::filesystem::path folder = home / "ZANTORIX";
    OrganizerDocument another;
    another.title = "Another";
    another.write(home / "Another.zantoplaylist", false);
    {
        OrganizerRun first(folder);
        first.send("title KILLTEST");
        if (c.save) first.send("save " + (home / "Saved.zantoplaylist").string());
        c.kill ? first.kill() : first.quit();
    }
    ASSERT_NE(readFile(folder / "organizer-recovery.json").find("KILLTEST"), std::string::npos);
    OrganizerRun second(folder);
    EXPECT_EQ(second.send("open " + (home / "Another.zantoplaylist").string()), c.asked ? "asked" : "not asked");
    const std::string kept = c.asked ? "KILLTEST" : "Another";
    EXPECT_NE(readFile(folder / "organizer-recovery.json").find(kept), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerRecoveredWorkCases,
                         ::testing::Values(RecoveredCase{"KilledWhileEditing", false, true, true},
                                           RecoveredCase{"KilledAfterSaving", true, true, false},
                                           RecoveredCase{"QuitWhileEditing", false, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace zanto::test
