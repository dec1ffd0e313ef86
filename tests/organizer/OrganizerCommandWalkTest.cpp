// Walks every button, control, menu entry and key of the real window: each
// names a row of the command table, and running it the way a user does shows
// the effect of that command (not only that a title exists).
#include "OrganizerTestSupport.h"

#include "organizer/OrganizerActions.h"
#include "organizer/OrganizerOverlay.h"
#include "organizer/OrganizerSlider.h"
#include "organizer/OrganizerColorWell.h"
#include "organizer/OrganizerSplit.h"
#include "platform/media/MediaTime.h"
#include "platform/media/Player.h"
#include "support/EventLoopWait.h"
#include "support/PlaylistSamples.h"
#include "support/TestMedia.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTabBar>
#include <QTest>
#include <QWindow>

#include <map>

namespace zanto {
namespace {

using C = OrganizerCommand;
using test::waitFor;

test::TempDir& media()
{
    static test::TempDir* folder = [] {
        auto* made = new test::TempDir;
        test::makeTestMovie(*made / "clip.mp4", {.durationSeconds = 2.0, .audio = false});
        test::makeTestMovie(*made / "other.mp4", {.durationSeconds = 2.0, .audio = false});
        test::makeTestImage(*made / "picture.png", 64, 36);
        return made;
    }();
    return *folder;
}

// A fresh window over "Walk": row "one" holds the videos V1 and V2 and the
// title T, row "two" a freeze F with one drawing. V1 is selected and open.
struct Window {
    Window()
    {
        organizer = test::makeOrganizer(folder.path());
        const std::string clip = (media() / "clip.mp4").string();
        OrganizerDocument document;
        document.title = "Walk";
        document.sources = {OrganizerSource{.id = "S", .name = "cam", .path = clip},
                            OrganizerSource{.id = "S2", .name = "cam2", .path = clip}};
        const auto video = [](const char* id, double start, double end) {
            return OrganizerItem{.id = id, .name = id, .start = start, .end = end, .sourceIDs = {"S", "S2"}, .sourceID = "S"};
        };
        OrganizerItem freeze = video("F", 0, 2);
        freeze.kind = "freeze";
        freeze.freezeTime = 0.5;
        freeze.marks = std::vector<OrganizerMark>{test::gxlMark()};
        document.rows = {OrganizerRow{.name = "one", .items = {video("V1", 0.2, 1.2), video("V2", 1, 1.8),
                                                               OrganizerItem{.id = "T", .kind = "title", .name = "T", .end = 2}}},
                         OrganizerRow{.name = "two", .items = {freeze}}};
        EXPECT_TRUE(organizer->openDocument(document));
        open(0, 0);
    }

    void open(int row, int item)
    {
        organizer->selectTimeline(row, item);
        EXPECT_TRUE(waitFor([&] { return organizer->player()->currentItem() != nullptr || organizer->stillRunning()
                                         || overlay().editing(); }));
    }
    void seek(double seconds)
    {
        bool done = false;
        organizer->player()->seek(MediaTime::fromSeconds(seconds, 60000), [&](bool) { done = true; });
        EXPECT_TRUE(waitFor([&] { return done; }));
    }
    bool rateBecomes(double rate) { return waitFor([&] { return organizer->player()->rate() == rate; }); }
    const OrganizerItem& item(int row, int index) const
    {
        return organizer->playlist().rows[size_t(row)].items[size_t(index)];
    }
    size_t count(int row) const { return organizer->playlist().rows[size_t(row)].items.size(); }
    test::OrganizerScriptedDialogs& dialogs() { return test::scripted(*organizer); }
    // The last question asked, its kind and first text.
    QStringList lastCall() { return dialogs().calls.empty() ? QStringList() : QStringList{dialogs().calls.back().kind, dialogs().calls.back().texts.value(0)}; }
    template <typename T = QWidget>
    T* control(const char* name) const { return test::control<T>(*organizer, name); }
    OrganizerOverlay& overlay() const { return *control<OrganizerOverlay>("overlay"); }
    OrganizerTimeline& timeline() const { return *control<OrganizerTimeline>("timeline"); }
    OrganizerSplit& split(const char* name) const { return *control<OrganizerSplit>(name); }
    void selectMark()
    {
        open(1, 0);
        overlay().setSelectedMark(0);
    }

    test::TempDir folder;
    std::unique_ptr<Organizer> organizer;
    std::optional<test::BusyHold> busy;
};

// What a command does, seen from outside: the state it needs, then its effect.
struct Effect {
    std::function<void(Window&)> arrange;
    std::function<void(Window&)> check;
};

const std::map<C, Effect>& effects()
{
    const auto asks = [](QString answer) { return [answer](Window& w) { w.dialogs().asks = {answer}; }; };
    const auto select = [](int row, int item) { return [=](Window& w) { w.open(row, item); }; };
    const auto selected = [](int line) { return [=](Window& w) { EXPECT_EQ(w.organizer->table.selectedRow(), line); }; };
    const auto asked = [](QString kind, QString text) {
        return [=](Window& w) { EXPECT_EQ(w.lastCall(), (QStringList{kind, text})); };
    };
    const auto plays = [](QString status) {
        return [=](Window& w) {
            EXPECT_TRUE(w.organizer->statusText().startsWith(status)) << w.organizer->statusText().toStdString();
            EXPECT_TRUE(waitFor([&] { return w.organizer->player()->rate() != 0 || w.organizer->stillRunning(); }));
        };
    };
    const auto rate = [](double value) { return [=](Window& w) { EXPECT_TRUE(w.rateBecomes(value)); }; };
    const auto rowNames = [](std::vector<std::string> names) {
        return [=](Window& w) {
            std::vector<std::string> now;
            for (const OrganizerRow& row : w.organizer->playlist().rows) now.push_back(row.name);
            EXPECT_EQ(now, names);
        };
    };
    const auto menu = [](QStringList titles) {
        return [=](Window& w) {
            ASSERT_FALSE(w.dialogs().calls.empty());
            EXPECT_EQ(w.dialogs().calls.back(), (test::OrganizerScriptedDialogs::Call{"menu", titles}));
        };
    };
    const auto changesMark = [](Window& w) { EXPECT_NE(w.item(1, 0).marks, std::vector<OrganizerMark>{test::gxlMark()}); };
    const auto dropsMark = [](Window& w) { EXPECT_EQ(w.item(1, 0).marks, std::vector<OrganizerMark>{}); };
    static const std::map<C, Effect> table = [&] {
        std::map<C, Effect> made{
            {C::newDocument, {asks("新"), [](Window& w) { EXPECT_EQ(w.organizer->playlist().title, "新"); }}},
            {C::openDocument, {{}, asked("choosePackage", ".SCPlaylist または .zantoplaylist を選択")}},
            {C::saveDocument, {{}, asked("save", "Walk.zantoplaylist")}},
            {C::showLayout, {{}, menu({"映像を大きく", "標準の配置", "インスペクタの表示切替"})}},
            {C::showMore, {{}, menu({"タイトルを追加", "画像・スライドを追加", "行名を変更", "行を上へ", "行を下へ", "行を削除",
                                     "タグを複製", "タグを削除", "書き出しを中止"})}},
            {C::showExport, {{}, menu({"Final Cut Pro XML…", "開いているクリップをMP4書出（Ctrl+Shift+E）", "全行を書き出す",
                                       "選択クリップを書き出す", "書き出しを中止"})}},
            {C::toggleInspector, {{}, [](Window& w) { EXPECT_TRUE(w.split("horizontalSplit").collapsed()); }}},
            {C::previousClip, {select(0, 1), selected(0)}},
            {C::togglePlayback, {{}, rate(1)}},
            {C::nextClip, {{}, selected(1)}},
            {C::playRow, {{}, plays("1/3 V1")}},
            {C::playAll, {{}, plays("1/4 V1")}},
            {C::playSelection, {{}, plays("1/1 V1")}},
            {C::markIn, {[](Window& w) { w.seek(0.5); }, [](Window& w) { EXPECT_NEAR(w.item(0, 0).start, 0.5, 1.0 / 30); }}},
            {C::markOut, {[](Window& w) { w.seek(0.9); }, [](Window& w) { EXPECT_NEAR(w.item(0, 0).end, 0.9, 1.0 / 30); }}},
            {C::shuttleBackward, {[](Window& w) { w.seek(0.7); }, rate(-1)}},
            {C::shuttlePause, {[](Window& w) { w.organizer->perform(C::togglePlayback); }, rate(0)}},
            {C::shuttleForward, {{}, rate(1)}},
            {C::previousItem, {select(0, 1), selected(0)}},
            {C::nextItem, {{}, selected(1)}},
            {C::drawingOff, {{}, [](Window& w) { EXPECT_FALSE(w.overlay().editing()); }}},
            {C::addRow, {asks("三"), rowNames({"one", "two", "三"})}},
            {C::renameRow, {asks("一"), rowNames({"一", "two"})}},
            {C::rowUp, {[](Window& w) { w.organizer->selectTimeline(1, std::nullopt); }, rowNames({"two", "one"})}},
            {C::rowDown, {{}, rowNames({"two", "one"})}},
            {C::removeRow, {[](Window& w) { w.dialogs().alerts = {1}; }, rowNames({"two"})}},
            {C::addTitle, {asks("題"), [](Window& w) { EXPECT_EQ(w.item(0, 3).name, "題"); }}},
            {C::addImage, {[](Window& w) { w.dialogs().files = {{QString::fromStdString((media() / "picture.png").string())}}; },
                           [](Window& w) { EXPECT_EQ(w.item(0, 3).kind, "image"); }}},
            {C::duplicate, {{}, [](Window& w) { EXPECT_EQ(w.count(0), 4u); }}},
            {C::removeItems, {{}, [](Window& w) { EXPECT_EQ(w.item(0, 0).id, "V2"); }}},
            {C::insertBefore, {asks("前"), [](Window& w) { EXPECT_EQ(w.item(0, 0).name, "前"); }}},
            {C::insertAfter, {asks("後"), [](Window& w) { EXPECT_EQ(w.item(0, 1).name, "後"); }}},
            {C::selectAllItems, {{}, [](Window& w) { EXPECT_EQ(w.organizer->table.selectedRowIndexes(), (std::set<int>{0, 1, 2})); }}},
            {C::undoOrganizer, {[](Window& w) { test::change(*w.organizer, [](OrganizerDocument& d) { d.title = "x"; }); },
                                [](Window& w) { EXPECT_EQ(w.organizer->playlist().title, "Walk"); }}},
            {C::redoOrganizer, {[](Window& w) {
                                    test::change(*w.organizer, [](OrganizerDocument& d) { d.title = "x"; });
                                    w.organizer->undoOrganizer();
                                },
                                [](Window& w) { EXPECT_EQ(w.organizer->playlist().title, "x"); }}},
            {C::chooseXMLExport, {[](Window& w) { w.dialogs().alerts = {2}; }, asked("alert", "Final Cut Pro XMLの書き出し範囲")}},
            {C::exportRowXML, {{}, asked("save", "Walk — one.fcpxml")}},
            {C::exportCurrentVideo, {{}, asked("save", "Walk.mp4")}},
            {C::exportAll, {{}, asked("save", "Walk.mp4")}},
            {C::exportSelection, {{}, asked("save", "Walk.mp4")}},
            {C::cancelExport, {[](Window& w) {
                                   w.dialogs().saves = {OrganizerSaveAnswer{QString::fromStdString((w.folder / "out.mp4").string()), false}};
                                   w.organizer->perform(C::exportAll);
                                   EXPECT_TRUE(w.organizer->busy());
                               },
                               [](Window& w) {
                                   EXPECT_TRUE(waitFor([&] { return !w.organizer->busy(); }, 60000));
                                   EXPECT_EQ(w.organizer->statusText(), "書き出しを中止しました。");
                               }}},
            {C::apply, {[](Window& w) { w.control<QLineEdit>("nameField")->setText("名"); },
                        [](Window& w) { EXPECT_EQ(w.item(0, 0).name, "名"); }}},
            {C::angleChanged, {{}, [](Window& w) { EXPECT_EQ(w.item(0, 0).sourceID, "S2"); }}},
            {C::relink, {[](Window& w) { w.dialogs().files = {{QString::fromStdString((media() / "other.mp4").string())}}; },
                         [](Window& w) { EXPECT_EQ(w.organizer->playlist().sources[0].path, (media() / "other.mp4").string()); }}},
            {C::applyOffset, {[](Window& w) { w.control<QLineEdit>("offsetField")->setText("0.1"); },
                              [](Window& w) { EXPECT_EQ(w.organizer->playlist().sources[0].offset, 0.1); }}},
            {C::toggleDrawing, {{}, [](Window& w) { EXPECT_FALSE(w.control("drawingPanel")->isHidden()); }}},
            {C::deleteSelectedMark, {[](Window& w) { w.selectMark(); }, dropsMark}},
            {C::undoMark, {[](Window& w) { w.open(1, 0); }, dropsMark}},
            {C::gxlSettingsChanged, {[](Window& w) { w.selectMark(); }, changesMark}},
            {C::enlargePreview, {{}, [](Window& w) { EXPECT_NEAR(w.split("verticalSplit").ratio(), 0.76, 0.01); }}},
            {C::resetLayout, {[](Window& w) { w.organizer->perform(C::enlargePreview); },
                              [](Window& w) { EXPECT_NEAR(w.split("verticalSplit").ratio(), 0.73, 0.01); }}},
            {C::inspectorTabChanged, {{}, [](Window& w) { EXPECT_FALSE(w.control("playbackPanel")->isHidden()); }}},
            {C::zoomTimeline, {{}, [](Window& w) { EXPECT_NE(w.timeline().scale, 12); }}},
        };
        for (int index = 0; index < organizerMaterialCount; ++index) {
            made[organizerMaterialCommand(index)] = {{}, [index](Window& w) {
                EXPECT_EQ(w.count(0), 4u) << "the still cut from the video";
                EXPECT_TRUE(w.organizer->statusText().contains("「" + Organizer::materialNames()[size_t(index)] + "」"));
            }};
        }
        return made;
    }();
    return table;
}

// One way of running a command: where, which command it must be, and how.
struct Place {
    std::string where;
    C command;
    std::function<void(Window&)> run;
    bool busy = false;
};

// Runs a control the way its user does.
void trigger(QWidget& control)
{
    if (auto* well = dynamic_cast<OrganizerColorWell*>(&control)) {
        // The colour chooser is the platform's own; its answer reaches `action`.
        well->setColor(Qt::red);
        well->action();
    } else if (auto* button = qobject_cast<QAbstractButton*>(&control)) {
        button->click();
    } else if (auto* tabs = qobject_cast<QTabBar*>(&control)) {
        tabs->setCurrentIndex(1);
    } else if (auto* combo = qobject_cast<QComboBox*>(&control)) {
        QTest::keyClick(combo, Qt::Key_Down);
    } else if (dynamic_cast<OrganizerSlider*>(&control)) {
        QTest::keyClick(&control, Qt::Key_Right);
    } else {
        ADD_FAILURE() << "no way to run " << control.objectName().toStdString();
    }
}

bool insidePlayer(const QWidget& widget)
{
    for (const QWidget* up = &widget; up; up = up->parentWidget()) {
        if (up->objectName() == "movie") return true;
    }
    return false;
}

// Every control that carries a command; a push or tool button without one fails.
std::vector<Place> controlPlaces()
{
    Window survey;
    std::vector<Place> places;
    for (QWidget* widget : survey.organizer->window()->findChildren<QWidget*>()) {
        const QVariant tag = widget->property(organizerCommandProperty);
        const std::string name = widget->objectName().toStdString();
        // Check boxes hold a state; the player's and the tab bar's own buttons are theirs.
        if (!tag.isValid()) {
            if (qobject_cast<QAbstractButton*>(widget) && !qobject_cast<QCheckBox*>(widget) && !insidePlayer(*widget)
                && !qobject_cast<QTabBar*>(widget->parentWidget())) {
                ADD_FAILURE() << "a button that runs no command: " << name;
            }
            continue;
        }
        places.push_back({"control " + name, C(tag.toInt()), [name](Window& w) { trigger(*w.control(name.c_str())); }});
    }
    return places;
}

// The timeline's point over the current row's label, or over the selected block.
QPoint onTimeline(Window& w, bool block)
{
    const int row = w.organizer->currentRow();
    if (!block) return QPoint(int(w.timeline().visibleRect().left()) + 50, row * 27 + 13);
    const int line = std::max(0, w.organizer->table.selectedRow());
    return w.timeline().rects(row)[size_t(line)].center().toPoint();
}

struct MenuEntry {
    const char* title;
    C command;
};

// Each menu's entries word for word, with the command each must run.
std::vector<Place> menuPlaces()
{
    const std::vector<std::tuple<std::string, std::function<void(Window&)>, std::vector<MenuEntry>>> menus = {
        {"レイアウト ▾", [](Window& w) { w.control<QAbstractButton>("showLayout")->click(); },
         {{"映像を大きく", C::enlargePreview}, {"標準の配置", C::resetLayout}, {"インスペクタの表示切替", C::toggleInspector}}},
        {"挿入・編集 ▾", [](Window& w) { w.control<QAbstractButton>("showMore")->click(); },
         {{"タイトルを追加", C::addTitle}, {"画像・スライドを追加", C::addImage}, {"行名を変更", C::renameRow},
          {"行を上へ", C::rowUp}, {"行を下へ", C::rowDown}, {"行を削除", C::removeRow}, {"タグを複製", C::duplicate},
          {"タグを削除", C::removeItems}, {"書き出しを中止", C::cancelExport}}},
        {"ビデオのエクスポート ▾", [](Window& w) { w.control<QAbstractButton>("showExport")->click(); },
         {{"Final Cut Pro XML…", C::chooseXMLExport}, {"開いているクリップをMP4書出（Ctrl+Shift+E）", C::exportCurrentVideo},
          {"全行を書き出す", C::exportAll}, {"選択クリップを書き出す", C::exportSelection}, {"書き出しを中止", C::cancelExport}}},
        {"timeline row", [](Window& w) { QTest::mousePress(&w.timeline(), Qt::RightButton, {}, onTimeline(w, false)); },
         {{"Final Cut Pro XMLを書き出す…", C::exportRowXML}, {"行名を変更", C::renameRow}, {"行を上へ", C::rowUp},
          {"行を下へ", C::rowDown}, {"＋ 行", C::addRow}, {"行を削除", C::removeRow}}},
        {"timeline item", [](Window& w) { QTest::mousePress(&w.timeline(), Qt::RightButton, {}, onTimeline(w, true)); },
         {{"再生", C::playSelection}, {"選択をMP4書出", C::exportSelection}, {"スライドを前に挿入", C::insertBefore},
          {"スライドを後ろに挿入", C::insertAfter}, {"複製", C::duplicate}, {"削除", C::removeItems}}},
    };
    std::vector<Place> places;
    for (const auto& [menu, open, entries] : menus) {
        QStringList titles;
        for (const MenuEntry& entry : entries) titles << QString::fromUtf8(entry.title);
        for (size_t i = 0; i < entries.size(); ++i) {
            places.push_back({menu + " / " + entries[i].title, entries[i].command, [=](Window& w) {
                                  const size_t before = w.dialogs().calls.size();
                                  w.dialogs().menus = {int(i)};
                                  open(w);
                                  ASSERT_GT(w.dialogs().calls.size(), before);
                                  EXPECT_EQ(w.dialogs().calls[before], (test::OrganizerScriptedDialogs::Call{"menu", titles}));
                              }});
        }
    }
    // The range alert does not look at busy; the road it leads to does.
    const auto xml = std::ranges::find(places, "ビデオのエクスポート ▾ / Final Cut Pro XML…", &Place::where);
    places.push_back({"busy: " + xml->where, C::chooseXMLExport, xml->run, true});
    return places;
}

// The window's keys, each with the command it must run; the timeline's own
// keys and double presses.
std::vector<Place> keyPlaces()
{
    const std::vector<std::pair<QKeyCombination, C>> keys = {
        {Qt::Key_Space, C::togglePlayback}, {Qt::Key_Escape, C::drawingOff}, {Qt::Key_J, C::shuttleBackward},
        {Qt::Key_K, C::shuttlePause}, {Qt::Key_L, C::shuttleForward}, {Qt::Key_I, C::markIn}, {Qt::Key_O, C::markOut},
        {Qt::Key_Left, C::previousItem}, {Qt::Key_Right, C::nextItem}, {Qt::CTRL | Qt::Key_S, C::saveDocument},
        {Qt::CTRL | Qt::Key_A, C::selectAllItems}, {Qt::CTRL | Qt::Key_Z, C::undoOrganizer},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_Z, C::redoOrganizer}, {Qt::CTRL | Qt::SHIFT | Qt::Key_E, C::exportCurrentVideo}};
    std::vector<Place> places;
    for (const auto& [key, command] : keys) {
        EXPECT_EQ(OrganizerActions::withKey(key), command) << QKeySequence(key).toString().toStdString();
        places.push_back({"key " + QKeySequence(key).toString().toStdString(), command, [key](Window& w) {
                              QTest::keyClick(w.organizer->window()->windowHandle(), key.key(), key.keyboardModifiers());
                          }});
    }
    for (const OrganizerAction& row : OrganizerActions::all()) {
        EXPECT_TRUE(row.key.key() == Qt::Key_unknown || std::ranges::count(keys, std::pair(row.key, row.command)))
            << "a key the walk does not press: " << row.name;
    }
    const auto doublePress = [](bool block) {
        return [block](Window& w) { QTest::mouseDClick(&w.timeline(), Qt::LeftButton, {}, onTimeline(w, block)); };
    };
    const auto timelineKey = [](Qt::Key key) { return [key](Window& w) { QTest::keyClick(&w.timeline(), key); }; };
    places.push_back({"double press on a block", C::playSelection, doublePress(true)});
    places.push_back({"double press on a row label", C::renameRow, doublePress(false)});
    places.push_back({"timeline Return", C::renameRow, timelineKey(Qt::Key_Return)});
    places.push_back({"busy: timeline Space", C::playSelection, timelineKey(Qt::Key_Space), true});
    return places;
}

void walk(const std::vector<Place>& places)
{
    for (const Place& place : places) {
        SCOPED_TRACE(place.where);
        const OrganizerAction& row = OrganizerActions::row(place.command);
        ASSERT_EQ(row.command, place.command);
        ASSERT_NE(row.handler, nullptr);
        const auto effect = effects().find(place.command);
        ASSERT_NE(effect, effects().end()) << "no effect for " << row.name;
        Window w;
        if (effect->second.arrange) effect->second.arrange(w);
        if (place.busy) w.busy.emplace(*w.organizer);
        place.run(w);
        effect->second.check(w);
        w.busy.reset();
        test::expectConsistent(*w.organizer);
    }
}

TEST(OrganizerCommandWalk, EveryCommandHasAnEffectAndAPlace)
{
    test::testApplication();
    std::set<C> reached;
    for (const auto& places : {controlPlaces(), menuPlaces(), keyPlaces()}) {
        for (const Place& place : places) reached.insert(place.command);
    }
    for (const OrganizerAction& row : OrganizerActions::all()) {
        EXPECT_TRUE(reached.count(row.command)) << "no control, entry or key runs " << row.name;
        EXPECT_TRUE(effects().count(row.command)) << "no effect for " << row.name;
    }
}

TEST(OrganizerCommandWalk, EveryControlRunsItsCommand)
{
    test::testApplication();
    walk(controlPlaces());
}

TEST(OrganizerCommandWalk, EveryMenuEntryRunsItsCommand)
{
    test::testApplication();
    walk(menuPlaces());
}

TEST(OrganizerCommandWalk, EveryKeyAndDoublePressRunsItsCommand)
{
    test::testApplication();
    walk(keyPlaces());
}

} // namespace
} // namespace zanto
