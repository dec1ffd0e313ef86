#include "organizer/OrganizerTimeline.h"

#include <QPaintEvent>
#include <QPainter>

namespace zanto {

namespace {

QColor grey(double level)
{
    return QColor::fromRgbF(float(level), float(level), float(level));
}

const QColor systemBlue(0, 122, 255);

} // namespace

void OrganizerTimeline::text(QPainter& painter, const QString& string, const QRectF& rect, const QColor& color,
                             bool bold) const
{
    QFont font = this->font();
    font.setPixelSize(bold ? 11 : 10);
    font.setBold(bold);
    painter.setFont(font);
    painter.setPen(color);
    const QString line = painter.fontMetrics().elidedText(string, Qt::ElideRight, static_cast<int>(rect.width()));
    painter.save();
    painter.setClipRect(rect);
    painter.drawText(rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, line);
    painter.restore();
}

void OrganizerTimeline::paintEvent(QPaintEvent* event)
{
    if (!state_) return;
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    // Only what the exposed area shows is drawn: a long playlist has
    // thousands of blocks and the scroll area shows a few dozen.
    const QRectF exposed = event->rect();
    for (int row = 0; row < static_cast<int>(state_->rows.size()); ++row) {
        const double y = row * rowHeight;
        if (y + rowHeight < exposed.top() || y > exposed.bottom() + 1) continue;
        drawRow(painter, row, exposed);
        drawLabelColumn(painter, row);
    }
    drawDrop(painter);
}

void OrganizerTimeline::drawRow(QPainter& painter, int row, const QRectF& exposed) const
{
    painter.fillRect(QRectF(0, row * rowHeight, width(), rowHeight - 1), grey(row % 2 == 0 ? 0.97 : 0.93));
    const auto& items = state_->rows[static_cast<size_t>(row)].items;
    const std::vector<QRectF> blocks = rects(row);
    const bool currentRow = row == state_->currentRow;
    for (size_t i = 0; i < blocks.size(); ++i) {
        if (blocks[i].right() < exposed.left() || blocks[i].left() > exposed.right() + 1) continue;
        const bool selected = currentRow && state_->selection.count(int(i));
        drawBlock(painter, row, int(i), items[i], blocks[i], selected);
    }
}

void OrganizerTimeline::drawBlock(QPainter& painter, int row, int index, const OrganizerItem& item, const QRectF& block,
                                  bool selected) const
{
    painter.fillRect(block, selected ? grey(1.0 / 3.0) : QColor(Qt::white));
    // A one-point outline along the inside of the block, filled rather than
    // stroked so that it lands on the same pixels whatever part is repainted.
    const QColor outline = grey(0.5);
    painter.fillRect(QRectF(block.left(), block.top(), block.width(), 1), outline);
    painter.fillRect(QRectF(block.left(), block.bottom() - 1, block.width(), 1), outline);
    painter.fillRect(QRectF(block.left(), block.top(), 1, block.height()), outline);
    painter.fillRect(QRectF(block.right() - 1, block.top(), 1, block.height()), outline);
    const bool trimming = gesture && gesture->row == row && gesture->item == index && trimPreview;
    const QString label =
        trimming ? QString::asprintf("%.2f → %.2f", trimPreview->first, trimPreview->second) : blockLabel(index, item);
    const QColor color = selected ? QColor(Qt::white) : (item.enabled ? QColor(Qt::black) : grey(0.5));
    text(painter, label, block.adjusted(7, 4, -7, -4), color, false);
    if (selected) {
        painter.fillRect(QRectF(block.left(), block.top(), 3, block.height()), systemBlue);
        painter.fillRect(QRectF(block.right() - 3, block.top(), 3, block.height()), systemBlue);
    }
}

void OrganizerTimeline::drawLabelColumn(QPainter& painter, int row) const
{
    const double y = row * rowHeight;
    const double lx = visibleRect().left();
    const OrganizerRow& data = state_->rows[static_cast<size_t>(row)];
    painter.fillRect(QRectF(lx, y, labelWidth, rowHeight - 1), grey(row == state_->currentRow ? 0.87 : 0.94));
    text(painter, QString::number(row + 1), QRectF(lx + 5, y + 6, 23, 15), grey(0.5));
    text(painter, QString::fromStdString(data.name), QRectF(lx + 32, y + 6, labelWidth - 64, 16), Qt::black, true);
    text(painter, QString::number(data.items.size()), QRectF(lx + labelWidth - 30, y + 6, 25, 15), grey(0.5));
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
