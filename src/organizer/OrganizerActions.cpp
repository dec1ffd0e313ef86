#include "organizer/OrganizerActions.h"

#include "organizer/Organizer.h"
#include "organizer/OrganizerControls.h"

#include <QPushButton>

namespace zanto {

namespace {

using Rule = OrganizerBusyRule;

std::vector<OrganizerAction> makeTable()
{
    return {
        // Toolbar.
        {"newDocument", "新規", {}, Rule::refuse, &Organizer::newDocument},
        {"openDocument", "開く…", {}, Rule::refuse, static_cast<void (Organizer::*)()>(&Organizer::openDocument)},
        {"saveDocument", "保存…", QKeySequence("Ctrl+S"), Rule::refuse, &Organizer::saveDocument},
        {"showLayout", "レイアウト ▾", {}, Rule::allow, &Organizer::showLayout},
        {"showMore", "挿入・編集 ▾", {}, Rule::allow, &Organizer::showMore},
        {"showExport", "ビデオのエクスポート ▾", {}, Rule::allow, &Organizer::showExport},
        {"toggleInspector", "インスペクタ", {}, Rule::allow, &Organizer::toggleInspector},
        // Transport.
        {"previousClip", "◀|", {}, Rule::allow, &Organizer::previousClip},
        {"togglePlayback", "▶ / Ⅱ", {}, Rule::allow, &Organizer::togglePlayback},
        {"nextClip", "|▶", {}, Rule::allow, &Organizer::nextClip},
        {"playRow", "この行を再生", {}, Rule::allow, &Organizer::playRow},
        {"playAll", "全行を再生", {}, Rule::allow, &Organizer::playAll},
        {"markIn", "I 始点", QKeySequence("I"), Rule::refuse, &Organizer::markIn},
        {"markOut", "O 終点", QKeySequence("O"), Rule::refuse, &Organizer::markOut},
        // Timeline pane.
        {"addRow", "＋ 行", {}, Rule::refuse, &Organizer::addRow},
        // Inspector.
        {"apply", "変更を反映", {}, Rule::allow, &Organizer::apply},
        {"relink", "映像を再接続", {}, Rule::refuse, &Organizer::relink},
        {"applyOffset", "適用", {}, Rule::refuse, &Organizer::applyOffset},
        // The angle pop-up of the playback tab (a pop-up, not a button).
        {"angleChanged", {}, {}, Rule::refuse, &Organizer::angleChanged},
        {"toggleDrawing", "FC.GXL Soccer Tools ▾", {}, Rule::allow, &Organizer::toggleDrawing},
        {"deleteSelectedMark", "選択した描画を削除", {}, Rule::allow, &Organizer::deleteSelectedMark},
        {"undoMark", "最後の描画を戻す", {}, Rule::refuse, &Organizer::undoMark},
        // Export, row and item commands: menu entries only, titled by their menus.
        {"chooseXMLExport", {}, {}, Rule::refuse, &Organizer::chooseXMLExport},
        {"exportRowXML", {}, {}, Rule::refuse, &Organizer::exportRowXML},
        {"exportCurrentVideo", {}, QKeySequence("Ctrl+Shift+E"), Rule::refuse,
         &Organizer::exportCurrentVideo},
        {"exportAll", {}, {}, Rule::refuse, &Organizer::exportAll},
        {"exportSelection", {}, {}, Rule::refuse, &Organizer::exportSelection},
        {"cancelExport", {}, {}, Rule::allow, &Organizer::cancelExport},
        {"renameRow", {}, {}, Rule::refuse, &Organizer::renameRow},
        {"rowUp", {}, {}, Rule::refuse, &Organizer::rowUp},
        {"rowDown", {}, {}, Rule::refuse, &Organizer::rowDown},
        // Says why while busy, with its own message.
        {"removeRow", {}, {}, Rule::allow, &Organizer::removeRow},
        {"addTitle", {}, {}, Rule::refuse, &Organizer::addTitle},
        {"addImage", {}, {}, Rule::refuse, &Organizer::addImage},
        {"duplicate", {}, {}, Rule::refuse, &Organizer::duplicate},
        {"removeItems", {}, {}, Rule::refuse, &Organizer::removeItems},
        {"insertBefore", {}, {}, Rule::refuse, &Organizer::insertBefore},
        {"insertAfter", {}, {}, Rule::refuse, &Organizer::insertAfter},
        // Keys only.
        {"undoOrganizer", {}, QKeySequence("Ctrl+Z"), Rule::refuse, &Organizer::undoOrganizer},
        {"redoOrganizer", {}, QKeySequence("Ctrl+Shift+Z"), Rule::refuse, &Organizer::redoOrganizer},
        {"selectAllItems", {}, QKeySequence("Ctrl+A"), Rule::refuse, &Organizer::selectAllItems},
        // Layout: menu entries and controls without a button of their own.
        {"enlargePreview", {}, {}, Rule::allow, &Organizer::enlargePreview},
        {"resetLayout", {}, {}, Rule::allow, &Organizer::resetLayout},
        {"inspectorTabChanged", {}, {}, Rule::allow, &Organizer::inspectorTabChanged},
        {"zoomTimeline", {}, {}, Rule::allow, &Organizer::zoomTimeline},
        // Drawing panel: the colour well and the four sliders.
        {"gxlSettingsChanged", {}, {}, Rule::refuse, &Organizer::gxlSettingsChanged},
    };
}

} // namespace

const std::vector<OrganizerAction>& OrganizerActions::all()
{
    static const std::vector<OrganizerAction> table = makeTable();
    return table;
}

const OrganizerAction* OrganizerActions::find(const QString& name)
{
    for (const OrganizerAction& action : all()) {
        if (name == QLatin1String(action.name)) return &action;
    }
    return nullptr;
}

QPushButton* actionButton(Organizer& organizer, const char* name)
{
    const OrganizerAction* action = OrganizerActions::find(QString::fromLatin1(name));
    Q_ASSERT(action);
    QPushButton* button = controls::button(action->title);
    button->setObjectName(name);
    QObject::connect(button, &QPushButton::clicked, &organizer, [&organizer, name] { organizer.perform(QString::fromLatin1(name)); });
    return button;
}

} // namespace zanto
