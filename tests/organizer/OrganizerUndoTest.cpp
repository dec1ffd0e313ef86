#include "OrganizerCommandEffects.h"
#include "OrganizerTestSupport.h"

#include "support/PlaylistSamples.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QJsonDocument>

#include <limits>

namespace zanto {
namespace {

using test::makeOrganizer;
using test::readFile;
using test::TempDir;

class OrganizerUndo : public ::testing::Test {
protected:
    void SetUp() override { organizer = makeOrganizer(folder.path()); }

    // One changing edit, committed as every command commits it.
    void edit(const std::string& title)
    {
        OrganizerDocument candidate = organizer->playlist();
        candidate.title = title;
        EXPECT_TRUE(organizer->commit(std::move(candidate), {}, {}));
        expectRecoveryHoldsThePlaylist();
    }

    void expectRecoveryHoldsThePlaylist() const
    {
        EXPECT_EQ(readFile(organizer->recovery()), organizer->playlist().toJson());
        test::expectConsistent(*organizer);
    }

    TempDir folder;
    std::unique_ptr<Organizer> organizer;
};

TEST_F(OrganizerUndo, FiftyOneEditsKeepFiftySteps)
{
    const OrganizerDocument original = organizer->playlist();
    for (int i = 1; i <= 51; ++i) edit("edit " + std::to_string(i));
    EXPECT_EQ(organizer->undoStates().size(), 50u);
    while (!organizer->undoStates().empty()) {
        organizer->undoOrganizer();
        test::expectConsistent(*organizer);
        expectRecoveryHoldsThePlaylist();
    }
    EXPECT_EQ(organizer->playlist().title, "edit 1") << "the state before the first edit is gone";
    EXPECT_NE(organizer->playlist(), original);
    EXPECT_EQ(organizer->redoStates().size(), 50u);
}

TEST_F(OrganizerUndo, AnEditThatChangesNothingAddsNoStep)
{
    edit("one");
    edit("two");
    organizer->undoOrganizer();
    test::expectConsistent(*organizer);
    ASSERT_EQ(organizer->redoStates().size(), 1u);
    std::filesystem::remove(organizer->recovery());

    organizer->persist();
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->undoStates().size(), 1u);
    EXPECT_EQ(organizer->redoStates().size(), 1u) << "redo survives an edit without change";
    EXPECT_TRUE(organizer->changed());
    expectRecoveryHoldsThePlaylist();
}

TEST_F(OrganizerUndo, UndoThenANewEditClearsRedo)
{
    edit("one");
    edit("two");
    organizer->undoOrganizer();
    test::expectConsistent(*organizer);
    edit("three");
    EXPECT_TRUE(organizer->redoStates().empty());
    const OrganizerDocument now = organizer->playlist();
    organizer->redoOrganizer();
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->playlist(), now);
}

TEST_F(OrganizerUndo, UndoTwiceRedoTwiceComesBack)
{
    edit("one");
    edit("two");
    edit("three");
    const OrganizerDocument now = organizer->playlist();
    const std::vector<OrganizerDocument> undo = organizer->undoStates();
    organizer->undoOrganizer();
    test::expectConsistent(*organizer);
    organizer->undoOrganizer();
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->playlist().title, "one");
    EXPECT_EQ(organizer->window()->windowTitle(), "ZANTORIX / one — ORGANIZER");
    organizer->redoOrganizer();
    test::expectConsistent(*organizer);
    organizer->redoOrganizer();
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->playlist(), now);
    EXPECT_EQ(organizer->undoStates(), undo);
    EXPECT_TRUE(organizer->redoStates().empty());
    expectRecoveryHoldsThePlaylist();
    EXPECT_TRUE(organizer->changed());
}

// Undo and redo that must leave everything as it was.
struct RefusedStep {
    const char* name;
    bool busy;
    bool redo;
};

class OrganizerRefusedStep : public OrganizerUndo, public ::testing::WithParamInterface<RefusedStep> { };

TEST_P(OrganizerRefusedStep, DoesNothing)
{
    const RefusedStep& c = GetParam();
    std::optional<test::BusyHold> busy;
    if (c.busy) {
        edit("one");
        edit("two");
        organizer->undoOrganizer();
        test::expectConsistent(*organizer);
        busy.emplace(*organizer);
    } else {
        organizer->openDocument(organizer->playlist());
        test::expectConsistent(*organizer);
    }
    organizer->message("before");
    const bool changed = organizer->changed();
    const OrganizerDocument playlist = organizer->playlist();
    const auto undo = organizer->undoStates();
    const auto redo = organizer->redoStates();
    c.redo ? organizer->redoOrganizer() : organizer->undoOrganizer();
    EXPECT_EQ(organizer->playlist(), playlist);
    EXPECT_EQ(organizer->undoStates(), undo);
    EXPECT_EQ(organizer->redoStates(), redo);
    EXPECT_EQ(organizer->changed(), changed);
    EXPECT_TRUE(c.busy || !organizer->changed());
    EXPECT_EQ(organizer->statusText(), "before");
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerRefusedStep,
                         ::testing::Values(RefusedStep{"EmptyUndo", false, false},
                                           RefusedStep{"EmptyRedo", false, true}, RefusedStep{"BusyUndo", true, false},
                                           RefusedStep{"BusyRedo", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OrganizerUndo, UndoKeepsTheRowOnShowWhenItStillExists)
{
    organizer->commit(test::sampleDocument(), {}, {});
    test::expectConsistent(*organizer);
    organizer->rowChoice.selectItem(1);
    test::change(*organizer, [](OrganizerDocument& d) { d.rows[1].items.pop_back(); });
    test::expectConsistent(*organizer);
    organizer->undoOrganizer();
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->currentRow(), 1);
    EXPECT_EQ(organizer->numberOfRows(), 2);
}

TEST_F(OrganizerUndo, TheNextOrganizerStartsFromTheLastEdit)
{
    edit("one");
    organizer->commit(test::sampleDocument(), {}, {});
    test::expectConsistent(*organizer);
    const OrganizerDocument last = organizer->playlist();
    organizer.reset();

    auto next = makeOrganizer(folder.path());
    EXPECT_EQ(next->playlist(), last);
    EXPECT_TRUE(next->undoStates().empty());
    EXPECT_TRUE(next->changed()) << "the edits were never saved";
}

TEST_F(OrganizerUndo, WritesLeaveNoOtherFileBehind)
{
    for (int i = 0; i < 5; ++i) edit("edit " + std::to_string(i));
    organizer->undoOrganizer();
    test::expectConsistent(*organizer);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"organizer-recovery.json"});
}

TEST_F(OrganizerUndo, APlaylistThatCannotBeEncodedIsRefusedAndTheFileKept)
{
    edit("one");
    const std::string before = readFile(organizer->recovery());
    OrganizerDocument candidate = organizer->playlist();
    candidate.rows[0].items.push_back(test::sampleItem("NaN"));
    candidate.rows[0].items.back().end = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(organizer->commit(candidate, {}, "never shown"));
    EXPECT_EQ(organizer->statusText(), "プレイリストの区間または映像の参照が不正です。");
    EXPECT_EQ(readFile(organizer->recovery()), before) << "a refused edit leaves the last good file";
    EXPECT_EQ(organizer->undoStates().size(), 1u);
    test::expectConsistent(*organizer);
}

// Every edit undoes to the bytes it started from and redoes to the bytes it
// made. A new edit command adds its row here.
class OrganizerUndoEach : public OrganizerUndo, public ::testing::WithParamInterface<test::UndoCase> { };

TEST_P(OrganizerUndoEach, UndoesAndRedoesExactly)
{
    ASSERT_TRUE(organizer->openDocument(test::sampleDocument()));
    organizer->table.selectRowIndexes({0}, false);
    test::expectConsistent(*organizer);
    const std::string original = organizer->playlist().toJson();
    ASSERT_TRUE(organizer->commit(GetParam().edit(organizer->playlist()), {}, "done"));
    test::expectConsistent(*organizer);
    const std::string edited = organizer->playlist().toJson();
    ASSERT_NE(edited, original) << "the row's edit changes the document";
    organizer->undoOrganizer();
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->playlist().toJson(), original);
    organizer->redoOrganizer();
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->playlist().toJson(), edited);
}

OrganizerItem renamed(OrganizerItem item)
{
    item.name = "renamed";
    return item;
}

INSTANTIATE_TEST_SUITE_P(
    Edits, OrganizerUndoEach,
    ::testing::
        Values(test::UndoCase{"Retitle",
                              [](OrganizerDocument d) {
                                  d.title = "other";
                                  return d;
                              }},
               test::UndoCase{
                   "ReplaceItem",
                   [](const OrganizerDocument& d) { return edits::replacingItem(d, renamed(d.rows[1].items[0])); }},
               test::UndoCase{"RemoveItems",
                              [](const OrganizerDocument& d) {
                                  return edits::removingItems(d, 0, {"I1", "I3"});
                              }},
               test::UndoCase{"MoveItems",
                              [](const OrganizerDocument& d) {
                                  return edits::movingItems(d, {"I1", "I3"}, 1, 1)->document;
                              }},
               test::UndoCase{"TrimItem",
                              [](const OrganizerDocument& d) {
                                  return *edits::trimmingItem(d, "I3", 0.5, 9, Organizer::movieDuration);
                              }},
               test::UndoCase{"ApplyFields",
                              [](const OrganizerDocument& d) {
                                  return edits::applyingFields(d, "I5", {"n", "m", "a,b", "2", "5", true},
                                                               Organizer::movieDuration);
                              }},
               test::UndoCase{"ChooseAngle",
                              [](const OrganizerDocument& d) { return edits::choosingAngle(d, "I1", "S2"); }},
               test::UndoCase{"RelinkSource",
                              [](const OrganizerDocument& d) { return edits::relinkingSource(d, "S1", "/other.mp4"); }},
               test::UndoCase{"OffsetSource",
                              [](const OrganizerDocument& d) { return edits::offsettingSource(d, "S2", -4); }},
               test::UndoCase{
                   "SetMarks",
                   [](const OrganizerDocument& d) { return edits::settingMarks(d, "I2", {test::gxlMark()}); }},
               test::UndoCase{"CutAMaterialStill",
                              [](const OrganizerDocument& d) {
                                  const OrganizerItem still = edits::freezeOf(d.rows[0].items[0], 2, "F");
                                  return edits::addingMaterial(edits::cuttingFreeze(d, "I1", still, "T"), "F",
                                                               edits::materialMark("Player Ring"));
                              }},
               test::UndoCase{"AddRow", [](const OrganizerDocument& d) { return edits::addingRow(d, "new"); }},
               test::UndoCase{"RenameRow",
                              [](const OrganizerDocument& d) { return edits::renamingRow(d, 1, "other"); }},
               test::UndoCase{"RemoveRow", [](const OrganizerDocument& d) { return edits::removingRow(d, 0); }},
               test::UndoCase{"MoveRow", [](const OrganizerDocument& d) { return edits::movingRow(d, 0, 1); }},
               test::UndoCase{
                   "InsertItems",
                   [](const OrganizerDocument& d) { return edits::insertingItems(d, 0, 1, {edits::titleItem("t")}); }},
               test::UndoCase{
                   "DuplicateItems",
                   [](const OrganizerDocument& d) { return edits::duplicatingItems(d, 0, {"I1", "I3"}); }},
               test::UndoCase{"RemoveItemOfSecondRow",
                              [](const OrganizerDocument& d) { return edits::removingItems(d, 1, {"I4"}); }},
               test::UndoCase{
                   "Append",
                   [](const OrganizerDocument& d) {
                       const QJsonObject body =
                           QJsonDocument::fromJson(
                               R"({"sources": [{"name": "a.mp4", "size": 1, "id": "x"}], "clips": [{"start": 0, "end": 1}]})")
                               .object();
                       return edits::appending(d, 1, body, {})->document;
                   }}),
    [](const auto& info) { return std::string(info.param.name); });

// Every command that changes the document, run through the command table
// in a window over real media: one undo step back to the bytes it started
// from, redo to the bytes it made. A new document-changing command adds its
// row here.
class OrganizerUndoCommand : public ::testing::TestWithParam<OrganizerCommand> { };

TEST_P(OrganizerUndoCommand, UndoesAndRedoesExactly)
{
    test::CommandWindow w;
    const test::Effect& effect = test::effects().at(GetParam());
    if (effect.arrange) effect.arrange(w);
    // The choices the walk makes through the controls themselves.
    if (GetParam() == OrganizerCommand::angleChanged) w.control<QComboBox>("angleChoice")->setCurrentIndex(1);
    if (GetParam() == OrganizerCommand::gxlSettingsChanged) w.control<OrganizerSlider>("gxlSize")->setDoubleValue(200);
    const std::string original = w.organizer->playlist().toJson();
    const size_t steps = w.organizer->undoStates().size();
    ASSERT_TRUE(w.organizer->perform(GetParam()));
    effect.check(w);
    test::expectConsistent(*w.organizer);
    const std::string edited = w.organizer->playlist().toJson();
    ASSERT_NE(edited, original);
    EXPECT_EQ(w.organizer->undoStates().size(), steps + 1) << "one step";
    w.organizer->undoOrganizer();
    test::expectConsistent(*w.organizer);
    EXPECT_EQ(w.organizer->playlist().toJson(), original);
    w.organizer->redoOrganizer();
    test::expectConsistent(*w.organizer);
    EXPECT_EQ(w.organizer->playlist().toJson(), edited);
}

INSTANTIATE_TEST_SUITE_P(Commands, OrganizerUndoCommand, ::testing::ValuesIn(test::undoTable()),
                         [](const auto& info) { return std::string(OrganizerActions::row(info.param).name); });

} // namespace
} // namespace zanto
