#pragma once
// What each command of the Organizer does, seen from outside: a fresh window
// over a small playlist of real media, and for every command the state it
// needs and the effect it shows. The command walk runs every control, menu
// entry and key against these effects; the undo table runs the commands that
// change the document.
#include "OrganizerTestSupport.h"

#include "organizer/OrganizerActions.h"
#include "organizer/OrganizerOverlay.h"
#include "organizer/OrganizerSlider.h"
#include "organizer/OrganizerSplit.h"
#include "platform/media/MediaTime.h"
#include "platform/media/Player.h"
#include "support/EventLoopWait.h"
#include "support/PlaylistSamples.h"
#include "support/TestMedia.h"

#include <QLineEdit>

#include <map>

namespace zanto::test {

using Command = OrganizerCommand;

// A dialog call, readable in failure messages.
inline void PrintTo(const OrganizerScriptedDialogs::Call& call, std::ostream* out)
{
    *out << call.kind.toStdString() << ": " << call.texts.join(" | ").toStdString();
}

inline TempDir& media()
{
    static TempDir* folder = [] {
        auto* made = new TempDir;
        makeTestMovie(*made / "clip.mp4", {.durationSeconds = 2.0, .audio = false});
        makeTestMovie(*made / "other.mp4", {.durationSeconds = 2.0, .audio = false});
        makeTestImage(*made / "picture.png", 64, 36);
        return made;
    }();
    return *folder;
}

// A fresh window over "Walk": row "one" holds the videos V1 and V2 and the
// title T, row "two" a freeze F with one drawing. V1 is selected and open.
struct CommandWindow {
    CommandWindow()
    {
        organizer = makeOrganizer(folder.path());
        const std::string clip = (media() / "clip.mp4").string();
        OrganizerDocument document;
        document.title = "Walk";
        document.sources = {OrganizerSource{.id = "S", .name = "cam", .path = clip},
                            OrganizerSource{.id = "S2", .name = "cam2", .path = clip}};
        const auto video = [](const char* id, double start, double end) {
            return OrganizerItem{
                .id = id, .name = id, .start = start, .end = end, .sourceIDs = {"S", "S2"}, .sourceID = "S"};
        };
        OrganizerItem freeze = video("F", 0, 2);
        freeze.kind = "freeze";
        freeze.freezeTime = 0.5;
        freeze.marks = std::vector<OrganizerMark>{gxlMark()};
        document.rows = {OrganizerRow{.name = "one",
                                      .items = {video("V1", 0.2, 1.2), video("V2", 1, 1.8),
                                                OrganizerItem{.id = "T", .kind = "title", .name = "T", .end = 2}}},
                         OrganizerRow{.name = "two", .items = {freeze}}};
        EXPECT_TRUE(organizer->openDocument(document));
        open(0, 0);
    }

    void open(int row, int item)
    {
        organizer->selectTimeline(row, item);
        EXPECT_TRUE(waitFor([&] {
            return organizer->player()->currentItem() != nullptr || organizer->stillRunning() || overlay().editing();
        }));
    }
    void seek(double seconds)
    {
        bool done = false;
        organizer->player()->seek(MediaTime::fromSeconds(seconds, 60000), [&](bool) { done = true; });
        EXPECT_TRUE(waitFor([&] { return done; }));
    }
    bool rateBecomes(double rate)
    {
        return waitFor([&] { return organizer->player()->rate() == rate; });
    }
    const OrganizerItem& item(int row, int index) const
    {
        return organizer->playlist().rows[size_t(row)].items[size_t(index)];
    }
    size_t count(int row) const { return organizer->playlist().rows[size_t(row)].items.size(); }
    OrganizerScriptedDialogs& dialogs() { return scripted(*organizer); }
    // The last question asked, its kind and first text.
    QStringList lastCall()
    {
        if (dialogs().calls.empty()) return {};
        return {dialogs().calls.back().kind, dialogs().calls.back().texts.value(0)};
    }
    template <typename T = QWidget>
    T* control(const char* name) const
    {
        return test::control<T>(*organizer, name);
    }
    OrganizerOverlay& overlay() const { return *control<OrganizerOverlay>("overlay"); }
    OrganizerTimeline& timeline() const { return *control<OrganizerTimeline>("timeline"); }
    OrganizerSplit& split(const char* name) const { return *control<OrganizerSplit>(name); }
    void selectMark()
    {
        open(1, 0);
        overlay().setSelectedMark(0);
    }

    TempDir folder;
    std::unique_ptr<Organizer> organizer;
    std::optional<BusyHold> busy;
};

// What a command does, seen from outside: the state it needs, then its effect.
struct Effect {
    std::function<void(CommandWindow&)> arrange;
    std::function<void(CommandWindow&)> check;
};

inline const std::map<Command, Effect>& effects()
{
    const auto asks = [](QString answer) { return [answer](CommandWindow& w) { w.dialogs().asks = {answer}; }; };
    const auto select = [](int row, int item) { return [=](CommandWindow& w) { w.open(row, item); }; };
    const auto selected = [](int line) {
        return [=](CommandWindow& w) { EXPECT_EQ(w.organizer->table.selectedRow(), line); };
    };
    const auto asked = [](QString kind, QString text) {
        return [=](CommandWindow& w) { EXPECT_EQ(w.lastCall(), (QStringList{kind, text})); };
    };
    const auto plays = [](QString status) {
        return [=](CommandWindow& w) {
            EXPECT_TRUE(w.organizer->statusText().startsWith(status)) << w.organizer->statusText().toStdString();
            EXPECT_TRUE(waitFor([&] { return w.organizer->player()->rate() != 0 || w.organizer->stillRunning(); }));
        };
    };
    const auto rate = [](double value) { return [=](CommandWindow& w) { EXPECT_TRUE(w.rateBecomes(value)); }; };
    const auto rowNames = [](std::vector<std::string> names) {
        return [=](CommandWindow& w) {
            std::vector<std::string> now;
            for (const OrganizerRow& row : w.organizer->playlist().rows) now.push_back(row.name);
            EXPECT_EQ(now, names);
        };
    };
    const auto menu = [](QStringList titles) {
        return [=](CommandWindow& w) {
            ASSERT_FALSE(w.dialogs().calls.empty());
            EXPECT_EQ(w.dialogs().calls.back(), (OrganizerScriptedDialogs::Call{"menu", titles}));
        };
    };
    const auto changesMark = [](CommandWindow& w) {
        EXPECT_NE(w.item(1, 0).marks, std::vector<OrganizerMark>{gxlMark()});
    };
    const auto dropsMark = [](CommandWindow& w) { EXPECT_EQ(w.item(1, 0).marks, std::vector<OrganizerMark>{}); };
    static const std::map<Command, Effect> table = [&] {
        std::map<Command, Effect> made{
            {Command::newDocument,
             {asks("新"), [](CommandWindow& w) { EXPECT_EQ(w.organizer->playlist().title, "新"); }}},
            {Command::openDocument, {{}, asked("choosePackage", ".SCPlaylist または .zantoplaylist を選択")}},
            {Command::saveDocument, {{}, asked("save", "Walk.zantoplaylist")}},
            {Command::showLayout, {{}, menu({"映像を大きく", "標準の配置", "インスペクタの表示切替"})}},
            {Command::showMore,
             {{},
              menu({"タイトルを追加", "画像・スライドを追加", "行名を変更", "行を上へ", "行を下へ", "行を削除",
                    "タグを複製", "タグを削除", "書き出しを中止"})}},
            {Command::showExport,
             {{},
              menu({"Final Cut Pro XML…", "開いているクリップをMP4書出（Ctrl+Shift+E）", "全行を書き出す",
                    "選択クリップを書き出す", "書き出しを中止"})}},
            {Command::toggleInspector,
             {{}, [](CommandWindow& w) { EXPECT_TRUE(w.split("horizontalSplit").collapsed()); }}},
            {Command::previousClip, {select(0, 1), selected(0)}},
            {Command::togglePlayback, {{}, rate(1)}},
            {Command::nextClip, {{}, selected(1)}},
            {Command::playRow, {{}, plays("1/3 V1")}},
            {Command::playAll, {{}, plays("1/4 V1")}},
            {Command::playSelection, {{}, plays("1/1 V1")}},
            {Command::markIn,
             {[](CommandWindow& w) { w.seek(0.5); },
              [](CommandWindow& w) { EXPECT_NEAR(w.item(0, 0).start, 0.5, 1.0 / 30); }}},
            {Command::markOut,
             {[](CommandWindow& w) { w.seek(0.9); },
              [](CommandWindow& w) { EXPECT_NEAR(w.item(0, 0).end, 0.9, 1.0 / 30); }}},
            {Command::shuttleBackward, {[](CommandWindow& w) { w.seek(0.7); }, rate(-1)}},
            {Command::shuttlePause, {[](CommandWindow& w) { w.organizer->perform(Command::togglePlayback); }, rate(0)}},
            {Command::shuttleForward, {{}, rate(1)}},
            {Command::previousItem, {select(0, 1), selected(0)}},
            {Command::nextItem, {{}, selected(1)}},
            {Command::drawingOff, {{}, [](CommandWindow& w) { EXPECT_FALSE(w.overlay().editing()); }}},
            {Command::addRow, {asks("三"), rowNames({"one", "two", "三"})}},
            {Command::renameRow, {asks("一"), rowNames({"一", "two"})}},
            {Command::rowUp,
             {[](CommandWindow& w) { w.organizer->selectTimeline(1, std::nullopt); }, rowNames({"two", "one"})}},
            {Command::rowDown, {{}, rowNames({"two", "one"})}},
            {Command::removeRow, {[](CommandWindow& w) { w.dialogs().alerts = {1}; }, rowNames({"two"})}},
            {Command::addTitle, {asks("題"), [](CommandWindow& w) { EXPECT_EQ(w.item(0, 3).name, "題"); }}},
            {Command::addImage,
             {[](CommandWindow& w) {
                  w.dialogs().files = {{QString::fromStdString((media() / "picture.png").string())}};
              },
              [](CommandWindow& w) { EXPECT_EQ(w.item(0, 3).kind, "image"); }}},
            {Command::duplicate, {{}, [](CommandWindow& w) { EXPECT_EQ(w.count(0), 4u); }}},
            {Command::removeItems, {{}, [](CommandWindow& w) { EXPECT_EQ(w.item(0, 0).id, "V2"); }}},
            {Command::insertBefore, {asks("前"), [](CommandWindow& w) { EXPECT_EQ(w.item(0, 0).name, "前"); }}},
            {Command::insertAfter, {asks("後"), [](CommandWindow& w) { EXPECT_EQ(w.item(0, 1).name, "後"); }}},
            {Command::selectAllItems,
             {{},
              [](CommandWindow& w) {
                  EXPECT_EQ(w.organizer->table.selectedRowIndexes(), (std::set<int>{0, 1, 2}));
              }}},
            {Command::undoOrganizer,
             {[](CommandWindow& w) { change(*w.organizer, [](OrganizerDocument& d) { d.title = "x"; }); },
              [](CommandWindow& w) { EXPECT_EQ(w.organizer->playlist().title, "Walk"); }}},
            {Command::redoOrganizer,
             {[](CommandWindow& w) {
                  change(*w.organizer, [](OrganizerDocument& d) { d.title = "x"; });
                  w.organizer->undoOrganizer();
              },
              [](CommandWindow& w) { EXPECT_EQ(w.organizer->playlist().title, "x"); }}},
            {Command::chooseXMLExport,
             {[](CommandWindow& w) { w.dialogs().alerts = {2}; }, asked("alert", "Final Cut Pro XMLの書き出し範囲")}},
            {Command::exportRowXML, {{}, asked("save", "Walk — one.fcpxml")}},
            {Command::exportCurrentVideo, {{}, asked("save", "Walk.mp4")}},
            {Command::exportAll, {{}, asked("save", "Walk.mp4")}},
            {Command::exportSelection, {{}, asked("save", "Walk.mp4")}},
            {Command::cancelExport,
             {[](CommandWindow& w) {
                  w.dialogs().saves = {
                      OrganizerSaveAnswer{QString::fromStdString((w.folder / "out.mp4").string()), false}};
                  w.organizer->perform(Command::exportAll);
                  EXPECT_TRUE(w.organizer->busy());
              },
              [](CommandWindow& w) {
                  EXPECT_TRUE(waitFor([&] { return !w.organizer->busy(); }, 60000));
                  EXPECT_EQ(w.organizer->statusText(), "書き出しを中止しました。");
              }}},
            {Command::apply,
             {[](CommandWindow& w) { w.control<QLineEdit>("nameField")->setText("名"); },
              [](CommandWindow& w) { EXPECT_EQ(w.item(0, 0).name, "名"); }}},
            {Command::angleChanged, {{}, [](CommandWindow& w) { EXPECT_EQ(w.item(0, 0).sourceID, "S2"); }}},
            {Command::relink,
             {[](CommandWindow& w) {
                  w.dialogs().files = {{QString::fromStdString((media() / "other.mp4").string())}};
              },
              [](CommandWindow& w) {
                  EXPECT_EQ(w.organizer->playlist().sources[0].path, (media() / "other.mp4").string());
              }}},
            {Command::applyOffset,
             {[](CommandWindow& w) { w.control<QLineEdit>("offsetField")->setText("0.1"); },
              [](CommandWindow& w) { EXPECT_EQ(w.organizer->playlist().sources[0].offset, 0.1); }}},
            {Command::toggleDrawing,
             {{}, [](CommandWindow& w) { EXPECT_FALSE(w.control("drawingPanel")->isHidden()); }}},
            {Command::deleteSelectedMark, {[](CommandWindow& w) { w.selectMark(); }, dropsMark}},
            {Command::undoMark, {[](CommandWindow& w) { w.open(1, 0); }, dropsMark}},
            {Command::gxlSettingsChanged, {[](CommandWindow& w) { w.selectMark(); }, changesMark}},
            {Command::enlargePreview,
             {{}, [](CommandWindow& w) { EXPECT_NEAR(w.split("verticalSplit").ratio(), 0.76, 0.01); }}},
            {Command::resetLayout,
             {[](CommandWindow& w) { w.organizer->perform(Command::enlargePreview); },
              [](CommandWindow& w) { EXPECT_NEAR(w.split("verticalSplit").ratio(), 0.73, 0.01); }}},
            {Command::inspectorTabChanged,
             {{}, [](CommandWindow& w) { EXPECT_FALSE(w.control("playbackPanel")->isHidden()); }}},
            {Command::zoomTimeline, {{}, [](CommandWindow& w) { EXPECT_NE(w.timeline().scale, 12); }}},
        };
        for (int index = 0; index < organizerMaterialCount; ++index) {
            made[organizerMaterialCommand(index)] = {{}, [index](CommandWindow& w) {
                                                         EXPECT_EQ(w.count(0), 4u) << "the still cut from the video";
                                                         EXPECT_TRUE(w.organizer->statusText().contains(
                                                             "「" + Organizer::materialNames()[size_t(index)] + "」"));
                                                     }};
        }
        return made;
    }();
    return table;
}

// The commands that change the document, each one undo step: the rows of
// the undo table. The command walk fails on any other command that changes
// the document's bytes, except those that replace the document whole.
inline std::vector<Command> undoTable()
{
    using C = Command;
    std::vector<C> commands{C::addRow,       C::renameRow,
                            C::rowUp,        C::rowDown,
                            C::removeRow,    C::addTitle,
                            C::addImage,     C::duplicate,
                            C::removeItems,  C::insertBefore,
                            C::insertAfter,  C::apply,
                            C::angleChanged, C::relink,
                            C::applyOffset,  C::markIn,
                            C::markOut,      C::deleteSelectedMark,
                            C::undoMark,     C::gxlSettingsChanged};
    for (int index = 0; index < organizerMaterialCount; ++index) commands.push_back(organizerMaterialCommand(index));
    return commands;
}

inline bool replacesTheDocument(Command command)
{
    return command == Command::newDocument || command == Command::openDocument || command == Command::undoOrganizer
           || command == Command::redoOrganizer;
}

} // namespace zanto::test
