// Runs of the Organizer, each a process of its own (this program, driven
// through its standard input), ended by SIGKILL or by quitting: recovered
// work is never replaced without a question unless it was saved, and a start
// sweeps the work folders killed exports left.
#include "organizer/OrganizerTestSupport.h"

#include <QProcess>

#include <iostream>
#include <map>

namespace zanto::test {
namespace {

// Reads commands, one a line: "title <name>" adds a title slide, "save <path>"
// saves a package, "open <path>" opens one (answering "キャンセル" to a
// question) and replies whether it asked, "quit" ends the run.
TEST(OrganizerRecoveredWork, Run)
{
    const QByteArray folder = qgetenv("ZANTO_RECOVERY_RUN");
    if (folder.isEmpty()) GTEST_SKIP() << "a run of the tests below, in a process of its own";
    auto organizer = makeOrganizer(folder.toStdString());
    OrganizerScriptedDialogs& dialogs = scripted(*organizer);
    for (std::string line; std::getline(std::cin, line) && line != "quit";) {
        const std::string verb = line.substr(0, line.find(' '));
        const QString argument = QString::fromStdString(line.substr(verb.size() + 1));
        dialogs.calls.clear();
        dialogs.asks = {argument};
        dialogs.saves = {OrganizerSaveAnswer{argument, false}};
        dialogs.packages = {argument};
        const std::map<std::string, OrganizerCommand> commands{{"title", OrganizerCommand::addTitle},
                                                               {"save", OrganizerCommand::saveDocument},
                                                               {"open", OrganizerCommand::openDocument}};
        organizer->perform(commands.at(verb));
        while (organizer->busy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const bool asked = std::any_of(dialogs.calls.begin(), dialogs.calls.end(), [](const auto& call) {
            return call.texts.front() == "別のプレイリストへ切り替えますか？";
        });
        std::cout << "reply " << (asked ? "asked" : "not asked") << std::endl;
    }
}

class OrganizerRun {
public:
    explicit OrganizerRun(const TempDir& home)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("ZANTO_RECOVERY_RUN", QString::fromStdString((home / "ZANTORIX").string()));
        environment.insert("TMPDIR", QString::fromStdString(home.path().string()));
        process.setProcessEnvironment(environment);
        process.start(QString::fromStdString(std::filesystem::read_symlink("/proc/self/exe").string()),
                      {"--gtest_filter=OrganizerRecoveredWork.Run"});
    }
    ~OrganizerRun()
    {
        process.kill();
        process.waitForFinished();
    } // SIGKILL
    void quit()
    {
        process.write("quit\n");
        EXPECT_TRUE(process.waitForFinished(60000));
    }

    // The reply to `command`.
    std::string send(const std::string& command)
    {
        process.write((command + "\n").c_str());
        while (process.canReadLine() || process.waitForReadyRead(60000)) {
            const QString line = QString::fromUtf8(process.readLine()).trimmed();
            if (line.startsWith("reply ")) return line.mid(6).toStdString();
        }
        return "no reply";
    }

    QProcess process;
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
    OrganizerDocument another;
    another.title = "Another";
    another.write(home / "Another.zantoplaylist", false);
    {
        OrganizerRun first(home);
        first.send("title KILLTEST");
        if (c.save) first.send("save " + (home / "Saved.zantoplaylist").string());
        if (!c.kill) first.quit();
    }
    const std::filesystem::path recovery = home / "ZANTORIX" / "organizer-recovery.json";
    ASSERT_NE(readFile(recovery).find("KILLTEST"), std::string::npos);
    const std::vector<std::string> work{"zanto-organizer-00000000-0000-0000-0000-000000000001", "zanto-organizer-x"};
    for (const std::string& folder : work) std::filesystem::create_directories(home / folder);
    OrganizerRun second(home);
    EXPECT_EQ(second.send("open " + (home / "Another.zantoplaylist").string()), c.asked ? "asked" : "not asked");
    EXPECT_NE(readFile(recovery).find(c.asked ? "KILLTEST" : "Another"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(home / work[0])) << "a killed export's work folder stays";
    EXPECT_TRUE(std::filesystem::exists(home / work[1])) << "a look-alike of the user's went";
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerRecoveredWorkCases,
                         ::testing::Values(RecoveredCase{"KilledWhileEditing", false, true, true},
                                           RecoveredCase{"KilledAfterSaving", true, true, false},
                                           RecoveredCase{"QuitWhileEditing", false, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace zanto::test
