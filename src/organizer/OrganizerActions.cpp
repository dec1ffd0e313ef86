#include "organizer/OrganizerActions.h"

#include "organizer/Organizer.h"
#include "organizer/OrganizerControls.h"

#include <QAbstractButton>
#include <QPushButton>

#include <array>
#include <string_view>

namespace zanto {

namespace {

using C = OrganizerCommand;
using Rule = OrganizerBusyRule;

template <void (Organizer::*member)()>
void run(Organizer& organizer, int)
{
    (organizer.*member)();
}

template <typename Parameter, void (Organizer::*member)(Parameter)>
void runWith(Organizer& organizer, int parameter)
{
    (organizer.*member)(static_cast<Parameter>(parameter));
}

constexpr int menuParameter(OrganizerMenu menu)
{
    return static_cast<int>(menu);
}

constexpr std::array<const char*, organizerMaterialCount> materialNames{
    "material0", "material1", "material2",  "material3",  "material4",  "material5",  "material6", "material7",
    "material8", "material9", "material10", "material11", "material12", "material13", "material14"};

constexpr OrganizerAction material(int index)
{
    return {.command = organizerMaterialCommand(index),
            .name = materialNames[static_cast<size_t>(index)],
            .handler = runWith<int, &Organizer::addMaterial>,
            .parameter = index};
}

// The rows in any order; each lands at the index of its command.
template <size_t count>
constexpr std::array<OrganizerAction, organizerCommandCount> indexed(const OrganizerAction (&rows)[count])
{
    static_assert(count == organizerCommandCount, "one row per command");
    std::array<OrganizerAction, organizerCommandCount> table{};
    for (const OrganizerAction& row : rows) table[static_cast<size_t>(row.command)] = row;
    return table;
}

// One row of the table a line or two, as it is read.
// clang-format off
constexpr auto table = indexed({
    // Toolbar.
    {.command = C::newDocument, .name = "newDocument", .title = "新規", .handler = run<&Organizer::newDocument>},
    {.command = C::openDocument, .name = "openDocument", .title = "開く…", .handler = run<&Organizer::openDocument>},
    {.command = C::saveDocument, .name = "saveDocument", .title = "保存…", .key = Qt::CTRL | Qt::Key_S,
     .handler = run<&Organizer::saveDocument>},
    {.command = C::showLayout, .name = "showLayout", .title = "レイアウト ▾", .busy = Rule::allow,
     .handler = runWith<OrganizerMenu, &Organizer::popup>, .parameter = menuParameter(OrganizerMenu::layout)},
    {.command = C::showMore, .name = "showMore", .title = "挿入・編集 ▾", .busy = Rule::allow,
     .handler = runWith<OrganizerMenu, &Organizer::popup>, .parameter = menuParameter(OrganizerMenu::more)},
    {.command = C::showExport, .name = "showExport", .title = "ビデオのエクスポート ▾", .busy = Rule::allow,
     .handler = runWith<OrganizerMenu, &Organizer::popup>, .parameter = menuParameter(OrganizerMenu::exportVideo)},
    {.command = C::toggleInspector, .name = "toggleInspector", .title = "インスペクタ",
     .entryTitle = "インスペクタの表示切替", .busy = Rule::allow, .handler = run<&Organizer::toggleInspector>},
    // Transport and its keys. Playback runs while busy.
    {.command = C::previousClip, .name = "previousClip", .title = "◀|", .busy = Rule::allow,
     .handler = run<&Organizer::previousClip>},
    {.command = C::togglePlayback, .name = "togglePlayback", .title = "▶ / Ⅱ", .key = Qt::Key_Space,
     .busy = Rule::allow, .handler = run<&Organizer::togglePlayback>},
    {.command = C::nextClip, .name = "nextClip", .title = "|▶", .busy = Rule::allow, .handler = run<&Organizer::nextClip>},
    {.command = C::playRow, .name = "playRow", .title = "この行を再生", .busy = Rule::allow, .handler = run<&Organizer::playRow>},
    {.command = C::playAll, .name = "playAll", .title = "全行を再生", .busy = Rule::allow, .handler = run<&Organizer::playAll>},
    {.command = C::playSelection, .name = "playSelection", .title = "再生", .busy = Rule::allow,
     .handler = run<&Organizer::playSelection>},
    {.command = C::markIn, .name = "markIn", .title = "I 始点", .key = Qt::Key_I,
     .handler = runWith<bool, &Organizer::markBoundary>, .parameter = true},
    {.command = C::markOut, .name = "markOut", .title = "O 終点", .key = Qt::Key_O,
     .handler = runWith<bool, &Organizer::markBoundary>, .parameter = false},
    {.command = C::shuttleBackward, .name = "shuttleBackward", .key = Qt::Key_J, .busy = Rule::allow,
     .handler = runWith<int, &Organizer::shuttle>, .parameter = -1},
    {.command = C::shuttlePause, .name = "shuttlePause", .key = Qt::Key_K, .busy = Rule::allow,
     .handler = run<&Organizer::shuttlePause>},
    {.command = C::shuttleForward, .name = "shuttleForward", .key = Qt::Key_L, .busy = Rule::allow,
     .handler = runWith<int, &Organizer::shuttle>, .parameter = 1},
    {.command = C::previousItem, .name = "previousItem", .key = Qt::Key_Left,
     .handler = runWith<int, &Organizer::selectNeighbor>, .parameter = -1},
    {.command = C::nextItem, .name = "nextItem", .key = Qt::Key_Right,
     .handler = runWith<int, &Organizer::selectNeighbor>, .parameter = 1},
    {.command = C::drawingOff, .name = "drawingOff", .key = Qt::Key_Escape, .busy = Rule::allow,
     .handler = run<&Organizer::drawingOff>},
    // Rows.
    {.command = C::addRow, .name = "addRow", .title = "＋ 行", .handler = run<&Organizer::addRow>},
    {.command = C::renameRow, .name = "renameRow", .title = "行名を変更", .handler = run<&Organizer::renameRow>},
    {.command = C::rowUp, .name = "rowUp", .title = "行を上へ", .handler = runWith<int, &Organizer::moveRow>,
     .parameter = -1},
    {.command = C::rowDown, .name = "rowDown", .title = "行を下へ", .handler = runWith<int, &Organizer::moveRow>,
     .parameter = 1},
    // Says why while busy, with its own message.
    {.command = C::removeRow, .name = "removeRow", .title = "行を削除", .busy = Rule::allow,
     .handler = run<&Organizer::removeRow>},
    // Items and slides.
    {.command = C::addTitle, .name = "addTitle", .title = "タイトルを追加", .handler = run<&Organizer::addTitle>},
    {.command = C::addImage, .name = "addImage", .title = "画像・スライドを追加", .handler = run<&Organizer::addImage>},
    {.command = C::duplicate, .name = "duplicate", .title = "タグを複製", .entryTitle = "複製",
     .handler = run<&Organizer::duplicate>},
    {.command = C::removeItems, .name = "removeItems", .title = "タグを削除", .entryTitle = "削除",
     .handler = run<&Organizer::removeItems>},
    {.command = C::insertBefore, .name = "insertBefore", .title = "スライドを前に挿入",
     .handler = runWith<bool, &Organizer::insertSlide>, .parameter = false},
    {.command = C::insertAfter, .name = "insertAfter", .title = "スライドを後ろに挿入",
     .handler = runWith<bool, &Organizer::insertSlide>, .parameter = true},
    {.command = C::selectAllItems, .name = "selectAllItems", .key = Qt::CTRL | Qt::Key_A,
     .handler = run<&Organizer::selectAllItems>},
    {.command = C::undoOrganizer, .name = "undoOrganizer", .key = Qt::CTRL | Qt::Key_Z,
     .handler = run<&Organizer::undoOrganizer>},
    {.command = C::redoOrganizer, .name = "redoOrganizer", .key = Qt::CTRL | Qt::SHIFT | Qt::Key_Z,
     .handler = run<&Organizer::redoOrganizer>},
    // Exports. The range alert runs while busy; the road it leads to does not.
    {.command = C::chooseXMLExport, .name = "chooseXMLExport", .title = "Final Cut Pro XML…", .busy = Rule::allow,
     .handler = run<&Organizer::chooseXMLExport>},
    {.command = C::exportRowXML, .name = "exportRowXML", .title = "Final Cut Pro XMLを書き出す…",
     .handler = runWith<bool, &Organizer::exportOrganizerXML>, .parameter = true},
    // The title names the key; the menu entry itself has no shortcut.
    {.command = C::exportCurrentVideo, .name = "exportCurrentVideo", .title = "開いているクリップをMP4書出（Ctrl+Shift+E）",
     .key = Qt::CTRL | Qt::SHIFT | Qt::Key_E, .handler = run<&Organizer::exportCurrentVideo>},
    {.command = C::exportAll, .name = "exportAll", .title = "全行を書き出す", .handler = run<&Organizer::exportAll>},
    {.command = C::exportSelection, .name = "exportSelection", .title = "選択クリップを書き出す",
     .entryTitle = "選択をMP4書出", .handler = run<&Organizer::exportSelection>},
    {.command = C::cancelExport, .name = "cancelExport", .title = "書き出しを中止", .busy = Rule::allow,
     .handler = run<&Organizer::cancelExport>},
    // Inspector.
    {.command = C::apply, .name = "apply", .title = "変更を反映", .busy = Rule::allow, .handler = run<&Organizer::apply>},
    // The angle pop-up of the playback tab.
    {.command = C::angleChanged, .name = "angleChoice", .handler = run<&Organizer::angleChanged>},
    {.command = C::relink, .name = "relink", .title = "映像を再接続", .handler = run<&Organizer::relink>},
    {.command = C::applyOffset, .name = "applyOffset", .title = "適用", .handler = run<&Organizer::applyOffset>},
    {.command = C::toggleDrawing, .name = "toggleDrawing", .title = "FC.GXL Soccer Tools ▾", .busy = Rule::allow,
     .handler = run<&Organizer::toggleDrawing>},
    {.command = C::deleteSelectedMark, .name = "deleteSelectedMark", .title = "選択した描画を削除", .busy = Rule::allow,
     .handler = run<&Organizer::deleteSelectedMark>},
    {.command = C::undoMark, .name = "undoMark", .title = "最後の描画を戻す", .handler = run<&Organizer::undoMark>},
    // The drawing panel's colour well and four sliders.
    {.command = C::gxlSettingsChanged, .name = "gxlSettingsChanged", .handler = run<&Organizer::gxlSettingsChanged>},
    // Arrangement.
    {.command = C::enlargePreview, .name = "enlargePreview", .title = "映像を大きく", .busy = Rule::allow,
     .handler = run<&Organizer::enlargePreview>},
    {.command = C::resetLayout, .name = "resetLayout", .title = "標準の配置", .busy = Rule::allow,
     .handler = run<&Organizer::resetLayout>},
    {.command = C::inspectorTabChanged, .name = "inspectorTabs", .busy = Rule::allow,
     .handler = run<&Organizer::inspectorTabChanged>},
    {.command = C::zoomTimeline, .name = "zoomSlider", .busy = Rule::allow, .handler = run<&Organizer::zoomTimeline>},
    // The material strip; a material cut does nothing while busy.
    material(0), material(1), material(2), material(3), material(4), material(5), material(6), material(7),
    material(8), material(9), material(10), material(11), material(12), material(13), material(14),
});
// clang-format on

constexpr std::array<OrganizerCommand, 3> layoutMenu{C::enlargePreview, C::resetLayout, C::toggleInspector};
constexpr std::array<OrganizerCommand, 9> moreMenu{C::addTitle,  C::addImage,    C::renameRow,
                                                   C::rowUp,     C::rowDown,     C::removeRow,
                                                   C::duplicate, C::removeItems, C::cancelExport};
constexpr std::array<OrganizerCommand, 5> exportMenu{C::chooseXMLExport, C::exportCurrentVideo, C::exportAll,
                                                     C::exportSelection, C::cancelExport};
constexpr std::array<OrganizerCommand, 6> rowMenu{C::exportRowXML, C::renameRow, C::rowUp,
                                                  C::rowDown,      C::addRow,    C::removeRow};
constexpr std::array<OrganizerCommand, 6> itemMenu{C::playSelection, C::exportSelection, C::insertBefore,
                                                   C::insertAfter,   C::duplicate,       C::removeItems};

// Every command has exactly one row, with a name and a handler, and no two
// rows share a name (the objectName tests find a control by).
consteval bool everyCommandHasOneRow()
{
    for (size_t i = 0; i < table.size(); ++i) {
        const OrganizerAction& row = table[i];
        if (row.command != OrganizerCommand(i) || !row.name || !row.handler) return false;
        for (size_t j = 0; j < i; ++j) {
            if (std::string_view(table[j].name) == row.name) return false;
        }
    }
    return true;
}
static_assert(everyCommandHasOneRow(), "every OrganizerCommand needs exactly one row with a name and a handler");

consteval bool everyEntryHasATitle()
{
    for (const auto& menu : {std::span<const OrganizerCommand>(layoutMenu), std::span<const OrganizerCommand>(moreMenu),
                             std::span<const OrganizerCommand>(exportMenu), std::span<const OrganizerCommand>(rowMenu),
                             std::span<const OrganizerCommand>(itemMenu)}) {
        for (const OrganizerCommand command : menu) {
            if (std::string_view(table[static_cast<size_t>(command)].title).empty()) return false;
        }
    }
    return true;
}
static_assert(everyEntryHasATitle(), "a menu entry shows its row's title");

} // namespace

const OrganizerAction& OrganizerActions::row(OrganizerCommand command)
{
    return table[static_cast<size_t>(command)];
}

std::span<const OrganizerAction> OrganizerActions::all()
{
    return table;
}

std::optional<OrganizerCommand> OrganizerActions::withKey(QKeyCombination key)
{
    for (const OrganizerAction& action : table) {
        if (action.key.key() != Qt::Key_unknown && action.key == key) return action.command;
    }
    return std::nullopt;
}

std::span<const OrganizerCommand> OrganizerActions::menu(OrganizerMenu menu)
{
    switch (menu) {
    case OrganizerMenu::layout:
        return layoutMenu;
    case OrganizerMenu::more:
        return moreMenu;
    case OrganizerMenu::exportVideo:
        return exportMenu;
    case OrganizerMenu::timelineRow:
        return rowMenu;
    case OrganizerMenu::timelineItem:
        return itemMenu;
    }
    return {};
}

QString OrganizerActions::title(OrganizerMenu menu, OrganizerCommand command)
{
    const OrganizerAction& action = row(command);
    const bool entryTitles =
        menu == OrganizerMenu::layout || menu == OrganizerMenu::timelineRow || menu == OrganizerMenu::timelineItem;
    return QString::fromUtf8(entryTitles && action.entryTitle ? action.entryTitle : action.title);
}

void tagControl(QWidget& control, OrganizerCommand command)
{
    control.setProperty(organizerCommandProperty, static_cast<int>(command));
}

void connectButton(QAbstractButton& button, Organizer& organizer, OrganizerCommand command)
{
    button.setObjectName(QString::fromLatin1(OrganizerActions::row(command).name));
    tagControl(button, command);
    QObject::connect(&button, &QAbstractButton::clicked, &organizer,
                     [&organizer, command] { organizer.perform(command); });
}

QPushButton* actionButton(Organizer& organizer, OrganizerCommand command)
{
    QPushButton* button = controls::button(QString::fromUtf8(OrganizerActions::row(command).title));
    connectButton(*button, organizer, command);
    return button;
}

} // namespace zanto
