#include "OrganizerTestSupport.h"

#include "organizer/OrganizerActions.h"
#include "support/PlaylistSamples.h"
#include "support/TestMedia.h"

#include <gtest/gtest.h>

namespace zanto {
namespace {

namespace fs = std::filesystem;

// The sample without warnings, its slide a real picture in `folder`, ready
// to be written as a package.
OrganizerDocument savable(const fs::path& folder)
{
    OrganizerDocument document = test::sampleDocument();
    document.warnings.clear();
    document.rows[1].items[0].imagePath = test::makeTestImage(folder / "slide.png", 16, 9).string();
    return document;
}

void waitIdle(Organizer& organizer)
{
    while (organizer.busy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// One road of the document commands: the answers given, the command, and
// the state it leaves.
struct DocumentCase {
    const char* name;
    bool unsaved; // an edit was made before the command
    std::function<void(test::OrganizerScriptedDialogs&, const fs::path& folder)> answer;
    void (Organizer::*command)();
    std::string title; // of the playlist afterwards
    bool changed;
    QString status; // part of the status line; empty: an empty line
    bool historyEmpty;
};

void PrintTo(const DocumentCase& c, std::ostream* out)
{
    *out << c.name;
}

class OrganizerDocumentCommands : public test::OrganizerFixture, public ::testing::WithParamInterface<DocumentCase> { };

TEST_P(OrganizerDocumentCommands, LeaveTheStateOfTheirRoad)
{
    const DocumentCase& c = GetParam();
    savable(folder.path()).write(folder / "saved.zantoplaylist", false);
    ASSERT_TRUE(organizer->openDocument(savable(folder.path())));
    if (c.unsaved) test::change(*organizer, [](OrganizerDocument& d) { d.title = "edited"; });
    test::expectConsistent(*organizer);
    c.answer(dialogs(), folder.path());
    organizer->message("before");
    (organizer.get()->*c.command)();
    waitIdle(*organizer);
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->playlist().title, c.title);
    EXPECT_EQ(organizer->changed(), c.changed);
    EXPECT_TRUE(c.status.isEmpty() ? organizer->statusText().isEmpty() : organizer->statusText().contains(c.status))
        << organizer->statusText().toStdString();
    EXPECT_EQ(organizer->undoStates().empty(), c.historyEmpty);
    EXPECT_FALSE(organizer->busy());
}

using Dialogs = test::OrganizerScriptedDialogs;
const std::string sampleTitle = test::sampleDocument().title;

INSTANTIATE_TEST_SUITE_P(
    Roads, OrganizerDocumentCommands,
    ::testing::Values(
        DocumentCase{"NewWithoutUnsavedChangesAsksOnlyTheName", false,
                     [](Dialogs& d, const fs::path&) { d.asks = {"Match"}; }, &Organizer::newDocument, "Match", true,
                     "before", true},
        DocumentCase{"NewKeptByCancel", true,
                     [](Dialogs& d, const fs::path&) {
                         d.alerts = {0};
                         d.asks = {"x"};
                     },
                     &Organizer::newDocument, "edited", true, "before", false},
        DocumentCase{"NewWithoutName", true, [](Dialogs& d, const fs::path&) { d.alerts = {1}; },
                     &Organizer::newDocument, "edited", true, "before", false},
        DocumentCase{"OpenReplacesAfterTheQuestion", true,
                     [](Dialogs& d, const fs::path& f) {
                         d.alerts = {1};
                         d.packages = {QString::fromStdString((f / "saved.zantoplaylist").string())};
                     },
                     static_cast<void (Organizer::*)()>(&Organizer::openDocument), sampleTitle, false, "", true},
        DocumentCase{"OpenOfAPlainFolderFails", false,
                     [](Dialogs& d, const fs::path& f) { d.packages = {QString::fromStdString(f.string())}; },
                     static_cast<void (Organizer::*)()>(&Organizer::openDocument), sampleTitle, false,
                     "有効なプレイリストファイルではありません", true},
        DocumentCase{"SaveLinksOnly", true,
                     [](Dialogs& d, const fs::path& f) {
                         d.saves = {OrganizerSaveAnswer{QString::fromStdString((f / "out").string()), false}};
                     },
                     &Organizer::saveDocument, "edited", false, "保存しました：", false},
        DocumentCase{"SaveWithUnlinkedVideosFails", true,
                     [](Dialogs& d, const fs::path& f) {
                         d.saves = {OrganizerSaveAnswer{QString::fromStdString((f / "out").string()), true}};
                     },
                     &Organizer::saveDocument, "edited", true, "素材が見つかりません", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OrganizerDocumentCommands, FileManagerOpenShowsNoWarningsAndWaitsForASave)
{
    const fs::path package = folder / "warned.zantoplaylist";
    savable(folder.path()).write(package, false);
    {
        test::BusyHold busy(*organizer);
        EXPECT_FALSE(organizer->openFromFileManager(package));
        EXPECT_NE(organizer->playlist().title, sampleTitle) << "ignored while busy";
    }
    organizer->message("before");
    EXPECT_TRUE(organizer->openFromFileManager(package));
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->playlist().title, sampleTitle);
    EXPECT_FALSE(organizer->changed());
    EXPECT_EQ(organizer->statusText(), "before");
    EXPECT_TRUE(dialogs().calls.empty());
}

TEST_F(OrganizerDocumentCommands, EveryEditingCommandKeepsAwayWhileBusy)
{
    ASSERT_TRUE(organizer->openDocument(test::sampleDocument()));
    organizer->table.selectRowIndexes({0}, false);
    test::BusyHold busy(*organizer);
    const OrganizerDocument before = organizer->playlist();
    using C = OrganizerCommand;
    for (const C command : {C::newDocument, C::openDocument, C::saveDocument, C::addRow, C::renameRow, C::rowUp,
                            C::rowDown, C::addTitle, C::addImage, C::duplicate, C::removeItems, C::insertBefore,
                            C::insertAfter, C::exportAll, C::exportSelection, C::exportCurrentVideo, C::exportRowXML}) {
        organizer->message("before");
        // The handler itself, past the table's busy rule.
        const OrganizerAction& row = OrganizerActions::row(command);
        row.handler(*organizer, row.parameter);
        EXPECT_EQ(organizer->statusText(), "before") << row.name;
    }
    organizer->perform(OrganizerCommand::removeRow);
    EXPECT_EQ(organizer->statusText(), "最後の1行は削除できません。");
    EXPECT_EQ(organizer->playlist(), before);
    EXPECT_TRUE(dialogs().calls.empty());
    busy.release();
    test::expectConsistent(*organizer);
}

} // namespace
} // namespace zanto
