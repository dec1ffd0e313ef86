// Walks every button, control, menu entry and key of the real window: each
// names a row of the command table, and running it the way a user does shows
// the effect of that command (not only that a title exists).
#include "OrganizerCommandEffects.h"

#include "organizer/OrganizerColorWell.h"
#include "organizer/OrganizerSlider.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTabBar>
#include <QTest>
#include <QWindow>

namespace zanto {
namespace {

using C = OrganizerCommand;
using test::CommandWindow;
using test::effects;
using test::waitFor;

// One way of running a command: where, which command it must be, and how.
struct Place {
    std::string where;
    C command;
    std::function<void(CommandWindow&)> run;
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
        if (up->objectName() == "movie" || up->objectName() == "videoControls") return true;
    }
    return false;
}

// Every control that carries a command; a push or tool button without one fails.
std::vector<Place> controlPlaces()
{
    CommandWindow survey;
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
        places.push_back(
            {"control " + name, C(tag.toInt()), [name](CommandWindow& w) { trigger(*w.control(name.c_str())); }});
    }
    return places;
}

// The timeline's point over the current row's label, or over the selected block.
QPoint onTimeline(CommandWindow& w, bool block)
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
    const std::vector<std::tuple<std::string, std::function<void(CommandWindow&)>, std::vector<MenuEntry>>> menus = {
        {"レイアウト ▾",
         [](CommandWindow& w) { w.control<QAbstractButton>("showLayout")->click(); },
         {{"映像を大きく", C::enlargePreview},
          {"標準の配置", C::resetLayout},
          {"インスペクタの表示切替", C::toggleInspector}}},
        {"挿入・編集 ▾",
         [](CommandWindow& w) { w.control<QAbstractButton>("showMore")->click(); },
         {{"タイトルを追加", C::addTitle},
          {"画像・スライドを追加", C::addImage},
          {"行名を変更", C::renameRow},
          {"行を上へ", C::rowUp},
          {"行を下へ", C::rowDown},
          {"行を削除", C::removeRow},
          {"タグを複製", C::duplicate},
          {"タグを削除", C::removeItems},
          {"書き出しを中止", C::cancelExport}}},
        {"ビデオのエクスポート ▾",
         [](CommandWindow& w) { w.control<QAbstractButton>("showExport")->click(); },
         {{"Final Cut Pro XML…", C::chooseXMLExport},
          {"開いているクリップをMP4書出（Ctrl+Shift+E）", C::exportCurrentVideo},
          {"全行を書き出す", C::exportAll},
          {"選択クリップを書き出す", C::exportSelection},
          {"書き出しを中止", C::cancelExport}}},
        {"timeline row",
         [](CommandWindow& w) { QTest::mousePress(&w.timeline(), Qt::RightButton, {}, onTimeline(w, false)); },
         {{"Final Cut Pro XMLを書き出す…", C::exportRowXML},
          {"行名を変更", C::renameRow},
          {"行を上へ", C::rowUp},
          {"行を下へ", C::rowDown},
          {"＋ 行", C::addRow},
          {"行を削除", C::removeRow}}},
        {"timeline item",
         [](CommandWindow& w) { QTest::mousePress(&w.timeline(), Qt::RightButton, {}, onTimeline(w, true)); },
         {{"再生", C::playSelection},
          {"選択をMP4書出", C::exportSelection},
          {"スライドを前に挿入", C::insertBefore},
          {"スライドを後ろに挿入", C::insertAfter},
          {"複製", C::duplicate},
          {"削除", C::removeItems}}},
    };
    std::vector<Place> places;
    for (const auto& [menu, open, entries] : menus) {
        QStringList titles;
        for (const MenuEntry& entry : entries) titles << QString::fromUtf8(entry.title);
        for (size_t i = 0; i < entries.size(); ++i) {
            places.push_back(
                {menu + " / " + entries[i].title, entries[i].command, [=](CommandWindow& w) {
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
    const std::vector<std::pair<QKeyCombination, C>> keys = {{Qt::Key_Space, C::togglePlayback},
                                                             {Qt::Key_Escape, C::drawingOff},
                                                             {Qt::Key_J, C::shuttleBackward},
                                                             {Qt::Key_K, C::shuttlePause},
                                                             {Qt::Key_L, C::shuttleForward},
                                                             {Qt::Key_I, C::markIn},
                                                             {Qt::Key_O, C::markOut},
                                                             {Qt::Key_Left, C::previousItem},
                                                             {Qt::Key_Right, C::nextItem},
                                                             {Qt::CTRL | Qt::Key_S, C::saveDocument},
                                                             {Qt::CTRL | Qt::Key_A, C::selectAllItems},
                                                             {Qt::CTRL | Qt::Key_Z, C::undoOrganizer},
                                                             {Qt::CTRL | Qt::SHIFT | Qt::Key_Z, C::redoOrganizer},
                                                             {Qt::CTRL | Qt::SHIFT | Qt::Key_E, C::exportCurrentVideo}};
    std::vector<Place> places;
    for (const auto& [key, command] : keys) {
        EXPECT_EQ(OrganizerActions::withKey(key), command) << QKeySequence(key).toString().toStdString();
        places.push_back({"key " + QKeySequence(key).toString().toStdString(), command, [key](CommandWindow& w) {
                              QTest::keyClick(w.organizer->window()->windowHandle(), key.key(),
                                              key.keyboardModifiers());
                          }});
    }
    for (const OrganizerAction& row : OrganizerActions::all()) {
        EXPECT_TRUE(row.key.key() == Qt::Key_unknown || std::ranges::count(keys, std::pair(row.key, row.command)))
            << "a key the walk does not press: " << row.name;
    }
    const auto doublePress = [](bool block) {
        return
            [block](CommandWindow& w) { QTest::mouseDClick(&w.timeline(), Qt::LeftButton, {}, onTimeline(w, block)); };
    };
    const auto timelineKey = [](Qt::Key key) {
        return [key](CommandWindow& w) { QTest::keyClick(&w.timeline(), key); };
    };
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
        CommandWindow w;
        if (effect->second.arrange) effect->second.arrange(w);
        if (place.busy) w.busy.emplace(*w.organizer);
        const std::string before = w.organizer->playlist().toJson();
        place.run(w);
        effect->second.check(w);
        if (w.organizer->playlist().toJson() != before && !test::replacesTheDocument(place.command)) {
            EXPECT_TRUE(std::ranges::count(test::undoTable(), place.command))
                << row.name << " changes the document but is not in the undo table";
        }
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
