#include "organizer/OrganizerTimeline.h"

#include "organizer/Organizer.h"

#include <QPainter>

namespace zanto {

namespace {

QColor grey(double level)
{
    return QColor::fromRgbF(float(level), float(level), float(level));
}

const QColor systemBlue(0, 122, 255);

} // namespace

void OrganizerTimeline::text(QPainter& painter, const QString& string, const QRectF& rect,
                             const QColor& color, bool bold) const
{
    QFont font = this->font();
    font.setPixelSize(bold ? 11 : 10);
    font.setBold(bold);
    painter.setFont(font);
    painter.setPen(color);
    const QString line = painter.fontMetrics().elidedText(string, Qt::ElideRight,
                                                          static_cast<int>(rect.width()));
    painter.save();
    painter.setClipRect(rect);
    painter.drawText(rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, line);
    painter.restore();
}

void OrganizerTimeline::paintEvent(QPaintEvent*)
{
    if (!owner) return;
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    for (int row = 0; row < static_cast<int>(owner->playlist.rows.size()); ++row) {
        drawRow(painter, row);
        drawLabelColumn(painter, row);
    }
    drawDrop(painter);
}

void OrganizerTimeline::drawRow(QPainter& painter, int row) const
{
    const double y = row * rowHeight;
    painter.fillRect(QRectF(0, y, width(), rowHeight - 1), grey(row % 2 == 0 ? 0.97 : 0.93));
    const auto& items = owner->playlist.rows[static_cast<size_t>(row)].items;
    const std::vector<QRectF> blocks = rects(row);
    const bool currentRow = row == owner->currentRow();
    for (size_t i = 0; i < blocks.size(); ++i) {
        const OrganizerItem& item = items[i];
        const QRectF& block = blocks[i];
        const bool selected = currentRow && owner->table.selectedRowIndexes().count(int(i));
        painter.fillRect(block, selected ? grey(1.0 / 3.0) : QColor(Qt::white));
        painter.setPen(grey(0.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(block);
        const bool trimming = gesture && gesture->row == row && gesture->item == int(i) && trimPreview;
        const QString label = trimming
            ? QString::asprintf("%.2f → %.2f", trimPreview->first, trimPreview->second)
            : blockLabel(int(i), item);
        const QColor color = selected ? QColor(Qt::white) : (item.enabled ? QColor(Qt::black) : grey(0.5));
        text(painter, label, block.adjusted(7, 4, -7, -4), color, false);
        if (selected) {
            painter.fillRect(QRectF(block.left(), block.top(), 3, block.height()), systemBlue);
            painter.fillRect(QRectF(block.right() - 3, block.top(), 3, block.height()), systemBlue);
        }
    }
}

void OrganizerTimeline::drawLabelColumn(QPainter& painter, int row) const
{
    const double y = row * rowHeight;
    const double lx = visibleRect().left();
    const OrganizerRow& data = owner->playlist.rows[static_cast<size_t>(row)];
    painter.fillRect(QRectF(lx, y, labelWidth, rowHeight - 1),
                     grey(row == owner->currentRow() ? 0.87 : 0.94));
    text(painter, QString::number(row + 1), QRectF(lx + 5, y + 6, 23, 15), grey(0.5));
    text(painter, QString::fromStdString(data.name), QRectF(lx + 32, y + 6, labelWidth - 64, 16),
         Qt::black, true);
    text(painter, QString::number(data.items.size()), QRectF(lx + labelWidth - 30, y + 6, 25, 15),
         grey(0.5));
}

void OrganizerTimeline::drawDrop(QPainter& painter) const
{
    if (!drop) return;
    const std::vector<QRectF> blocks = rects(drop->row);
    double x = 0;
    if (drop->index >= 0 && drop->index < static_cast<int>(blocks.size())) {
        x = blocks[static_cast<size_t>(drop->index)].left() - 2;
    } else {
        x = (blocks.empty() ? labelWidth + 3 : blocks.back().right()) + 2;
    }
    painter.fillRect(QRectF(x, drop->row * rowHeight, 3, rowHeight), systemBlue);
}

} // namespace zanto
