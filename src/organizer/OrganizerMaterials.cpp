#include "organizer/Organizer.h"

#include "organizer/OrganizerInspectorPane.h"
#include "organizer/OrganizerOverlay.h"
#include "organizer/OrganizerPreviewPane.h"
#include "organizer/OrganizerStill.h"
#include "organizer/model/OrganizerEdits.h"
#include "platform/Identifier.h"
#include "services/ExportFailure.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <exception>
#include <numbers>

namespace zanto {

namespace {

constexpr int iconSize = 24;

void drawArrow(QPainter& painter, QPointF from, QPointF to)
{
    painter.drawLine(from, to);
    const double angle = std::atan2(to.y() - from.y(), to.x() - from.x());
    for (double side : {-0.5, 0.5}) {
        const double a = angle + std::numbers::pi + side;
        painter.drawLine(to, to + QPointF(std::cos(a) * 6, std::sin(a) * 6));
    }
}

QPolygonF regularPolygon(int corners, double radius)
{
    QPolygonF polygon;
    for (int i = 0; i < corners; ++i) {
        const double a = -std::numbers::pi / 2 + i * 2 * std::numbers::pi / corners;
        polygon << QPointF(12 + radius * std::cos(a), 12.5 + radius * std::sin(a));
    }
    return polygon;
}

void drawFourCircles(QPainter& painter, bool filled)
{
    painter.setBrush(filled ? QBrush(painter.pen().color()) : Qt::NoBrush);
    for (QPointF centre : {QPointF(7.5, 7.5), QPointF(16.5, 7.5), QPointF(7.5, 16.5), QPointF(16.5, 16.5)}) {
        painter.drawEllipse(centre, 3.5, 3.5);
    }
}

void drawViewfinder(QPainter& painter)
{
    const double a = 4, b = 20, l = 5;
    for (QPointF corner : {QPointF(a, a), QPointF(b, a), QPointF(a, b), QPointF(b, b)}) {
        const double dx = corner.x() < 12 ? l : -l;
        const double dy = corner.y() < 12 ? l : -l;
        painter.drawLine(corner, corner + QPointF(dx, 0));
        painter.drawLine(corner, corner + QPointF(0, dy));
    }
}

// Our own drawing of each material's symbol, in the order of GXLSettings::tools().
void drawMaterial(QPainter& painter, int index)
{
    const QColor ink(40, 40, 40);
    const QBrush fill(ink);
    const QPolygonF triangle{QPointF(12, 3.5), QPointF(21, 20), QPointF(3, 20)};
    switch (index) {
    case 0:
        painter.setPen(QPen(ink, 1.6, Qt::DashLine));
        painter.drawEllipse(QPointF(12, 12), 8, 8);
        break;
    case 1:
        drawFourCircles(painter, false);
        break;
    case 2: {
        QPainterPath path(QPointF(3, 15));
        path.cubicTo(7, 2, 10, 22, 14, 10);
        path.cubicTo(16, 4, 20, 12, 21, 8);
        painter.drawPath(path);
        break;
    }
    case 3:
        drawArrow(painter, QPointF(5, 19), QPointF(19, 5));
        break;
    case 4:
        painter.drawLine(QPointF(12, 3), QPointF(12, 7));
        painter.drawLine(QPointF(5, 6), QPointF(7.5, 9));
        painter.drawLine(QPointF(19, 6), QPointF(16.5, 9));
        painter.setBrush(fill);
        painter.drawPolygon(QPolygonF{QPointF(9, 11), QPointF(15, 11), QPointF(17, 20), QPointF(7, 20)});
        break;
    case 5:
        drawArrow(painter, QPointF(3, 12), QPointF(21, 12));
        break;
    case 6:
        drawViewfinder(painter);
        break;
    case 7:
        painter.drawPolygon(triangle);
        break;
    case 8:
        painter.drawEllipse(QPointF(12, 12), 8, 8);
        painter.setBrush(fill);
        painter.drawChord(QRectF(4, 4, 16, 16), 180 * 16, 180 * 16);
        break;
    case 9:
        drawFourCircles(painter, true);
        break;
    case 10:
        painter.setBrush(fill);
        painter.drawEllipse(QPointF(12, 12), 8, 8);
        break;
    case 11:
        painter.setBrush(fill);
        painter.drawPolygon(regularPolygon(5, 9));
        break;
    case 12:
        painter.setBrush(fill);
        painter.drawRect(QRectF(3, 6, 18, 12));
        break;
    case 13:
        painter.setBrush(fill);
        painter.drawEllipse(QPointF(12, 12), 9, 9);
        painter.setPen(QPen(Qt::white, 2));
        drawArrow(painter, QPointF(7, 12), QPointF(17, 12));
        break;
    case 14:
        painter.setBrush(fill);
        painter.drawPolygon(triangle);
        break;
    default:
        break;
    }
}

const char* const chooseAVideo = "素材を追加する映像を選んでください。";

// Why the still of `item` cannot be made, or none.
std::optional<QString> stillFailure(const OrganizerItem& item, const OrganizerDocument& document)
{
    try {
        freezeImage(item, document);
        return std::nullopt;
    } catch (const ExportFailure& failure) {
        return QString::fromStdString(failure.message);
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    }
}

} // namespace

void Organizer::addMaterial(int tag)
{
    const std::vector<std::string>& tools = GXLSettings::tools();
    if (busy() || tag < 0 || tag >= static_cast<int>(tools.size())) return;
    const std::optional<OrganizerItem> onShow = drawingTarget();
    // Everything is built from the playlist's own item: a still on show that
    // lies in no row gets nothing meant for another item.
    const OrganizerItem* own = onShow ? edits::itemWithId(playlist(), onShow->id) : nullptr;
    if (!onShow || (onShow->kind != "video" && onShow->kind != "freeze") || (onShow->kind == "freeze" && !own)) {
        message(chooseAVideo);
        return;
    }
    if (!own) return;
    const OrganizerItem item = *own;
    OrganizerDocument candidate = playlist();
    OrganizerItem target = item;
    if (item.kind == "video") {
        const OrganizerSource* source = playlist().source(item.sourceID);
        const double now = playback_->readTime();
        target = edits::freezeOf(item, edits::freezeTime(item, now, source ? source->offset : 0), newIdentifier());
        // The still is tried before anything changes; the picture shown is
        // made again when the still opens.
        if (const std::optional<QString> failure = stillFailure(target, playlist())) {
            message(*failure);
            return;
        }
        candidate = edits::cuttingFreeze(candidate, item.id, target, newIdentifier());
    }
    const std::string& tool = tools[static_cast<size_t>(tag)];
    try {
        candidate = edits::addingMaterial(candidate, target.id, edits::materialMark(tool));
    } catch (const ExportFailure& failure) {
        message(QString::fromStdString(failure.message));
        return;
    }
    // One step of history: the cut and the material together; the still
    // opens, selected and paused, with drawing on.
    if (!commit(std::move(candidate), {.select = std::vector{target.id}, .open = true}, {})) return;
    inspector_->selectTab(1);
    if (inspector_->drawingPanelHidden()) inspector_->toggleDrawingPanel();
    OrganizerOverlay& view = overlay();
    view.setMarks(edits::itemWithId(playlist(), target.id)->marks.value_or(std::vector<OrganizerMark>{}));
    view.setSelectedMark(static_cast<int>(view.marks().size()) - 1);
    view.setEditing(true);
    if (view.onSelect) view.onSelect(GXLSettings::material(tool));
    message("5秒の静止画に「" + materialNames()[static_cast<size_t>(tag)]
            + "」を追加。素材をドラッグして移動できます。");
}

const std::vector<QString>& Organizer::materialNames()
{
    static const std::vector<QString> names{"選手リング",     "チームリング",   "軌跡",         "立体の矢印",
                                            "スポットライト", "パスコース",     "視野",         "チームの面",
                                            "芝生リング",     "芝生チーム",     "円のスペース", "多角形のスペース",
                                            "四角のスペース", "芝生パスコース", "芝生の視野"};
    return names;
}

QIcon Organizer::materialIcon(int index)
{
    // Drawn at twice the size so that it stays sharp on high-density screens;
    // an index without a material gives an empty image of the same size.
    QPixmap pixmap(iconSize * 2, iconSize * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(40, 40, 40), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    drawMaterial(painter, index);
    painter.end();
    return QIcon(pixmap);
}

} // namespace zanto
