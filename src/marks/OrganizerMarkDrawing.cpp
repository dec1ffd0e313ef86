#include "marks/OrganizerMarkDrawing.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zanto {

namespace {

// Look of plain marks, shared by the preview and every export.
const QColor strokeColor = QColor::fromRgbF(0.83f, 1.0f, 0.26f, 1.0f);
const QColor textColor = QColor::fromRgbF(1.0f, 1.0f, 0.0f, 1.0f);
const QColor textBackground = QColor::fromRgbF(0.0f, 0.0f, 0.0f, 0.7f);
constexpr double barbAngle = 0.45;

struct Scale {
    double lineWidth;
    double headLength;
    double fontSize;
};

Scale scaleFor(const QRectF& rect)
{
    return {std::max(2.0, rect.width() / 320.0), std::max(10.0, rect.width() / 60.0),
            std::max(14.0, rect.width() / 40.0)};
}

// Marks count y upward from the bottom edge; the painter counts downward.
QPointF mapPoint(double x, double y, const QRectF& rect)
{
    return {rect.left() + x * rect.width(), rect.bottom() - y * rect.height()};
}

QFont markFont(double size)
{
    QFont font;
    // Japanese comments are common, so a CJK face comes first.
    font.setFamilies({QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans"), QStringLiteral("sans-serif")});
    font.setWeight(QFont::Bold);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(size))));
    return font;
}

void addArrow(QPainterPath& path, QPointF p1, QPointF p2, double headLength)
{
    path.moveTo(p1);
    path.lineTo(p2);
    // The angle is measured with y upward, as the marks store it.
    const double a = std::atan2(p1.y() - p2.y(), p2.x() - p1.x());
    for (double offset : {-barbAngle, barbAngle}) {
        path.moveTo(p2);
        path.lineTo(p2.x() - headLength * std::cos(a + offset), p2.y() + headLength * std::sin(a + offset));
    }
}

// Every common line break starts a new line, wherever the text was typed.
QStringList textLines(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const QChar lineBreak : {QChar(u'\r'), QChar(0x2028), QChar(0x2029)})
        text.replace(lineBreak, QLatin1Char('\n'));
    return text.split(QLatin1Char('\n'));
}

// The point is the lower-left corner of the text's box; further lines of a
// multi-line text stack upward from it, the first line on top.
void drawText(QPainter& painter, const QString& text, QPointF anchor, double fontSize)
{
    if (text.isEmpty()) return;
    const QFont font = markFont(fontSize);
    const QFontMetricsF metrics(font, painter.device());
    const QStringList lines = textLines(text);
    painter.setFont(font);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const double bottom = anchor.y() - double(lines.size() - 1 - i) * metrics.lineSpacing();
        const double advance = metrics.horizontalAdvance(lines[i]);
        if (advance <= 0) continue;
        painter.fillRect(QRectF(anchor.x(), bottom - metrics.height(), advance, metrics.height()), textBackground);
        painter.setPen(textColor);
        painter.drawText(QPointF(anchor.x(), bottom - metrics.descent()), lines[i]);
    }
}

void drawMark(QPainter& painter, const OrganizerMark& mark, const QRectF& rect, const Scale& scale)
{
    const QPointF p1 = mapPoint(mark.x, mark.y, rect);
    const QPointF p2 = mapPoint(mark.x2, mark.y2, rect);
    if (mark.kind == "text") {
        drawText(painter, QString::fromStdString(mark.text), p1, scale.fontSize);
        return;
    }
    QPainterPath path;
    if (mark.kind == "circle") {
        path.addEllipse(QRectF(std::min(p1.x(), p2.x()), std::min(p1.y(), p2.y()), std::abs(p1.x() - p2.x()),
                               std::abs(p1.y() - p2.y())));
    } else {
        addArrow(path, p1, p2, scale.headLength);
    }
    QPen pen(strokeColor, scale.lineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    painter.strokePath(path, pen);
}

} // namespace

void drawOrganizerMarks(const std::vector<OrganizerMark>& marks, const QRectF& rect, QPainter& painter)
{
    const Scale scale = scaleFor(rect);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    for (const OrganizerMark& mark : marks) drawMark(painter, mark, rect, scale);
    painter.restore();
}

QImage transparentMarkCanvas()
{
    const qsizetype bytesPerLine = qsizetype(markCanvasWidth) * 4;
    void* bits = std::calloc(size_t(bytesPerLine) * size_t(markCanvasHeight), 1);
    if (!bits) return {};
    return QImage(
        static_cast<uchar*>(bits), markCanvasWidth, markCanvasHeight, bytesPerLine, QImage::Format_ARGB32_Premultiplied,
        [](void* held) { std::free(held); }, bits);
}

QImage organizerMarkImage(const std::vector<OrganizerMark>& marks)
{
    QImage image = transparentMarkCanvas();
    if (image.isNull()) return {};
    QPainter painter(&image);
    drawOrganizerMarks(marks, QRectF(0, 0, markCanvasWidth, markCanvasHeight), painter);
    painter.end();
    return image;
}

} // namespace zanto
