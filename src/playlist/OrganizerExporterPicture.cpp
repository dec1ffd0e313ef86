// The still picture of a title, image or freeze item, drawn once on the
// 1280 × 720 canvas that its slide movie repeats.
#include "playlist/OrganizerExporterPicture.h"

#include "marks/OrganizerMarkDrawing.h"
#include "services/ExportFailure.h"

#include <QFile>
#include <QFont>
#include <QImageReader>
#include <QPainter>
#include <QTextOption>

#include <poppler-qt6.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>

namespace zanto::slides {
namespace {

constexpr double canvasWidth = markCanvasWidth;
constexpr double canvasHeight = markCanvasHeight;
// Larger pictures are decoded at about twice the canvas size: enough for a
// sharp fit, and a camera's 50-megapixel photo stays within memory limits.
constexpr int decodeBoxWidth = 2560;
constexpr int decodeBoxHeight = 1440;

// Rectangles are given with the origin at the bottom left, y upward.
QRectF fromBottomLeft(double x, double y, double width, double height)
{
    return QRectF(x, canvasHeight - y - height, width, height);
}

bool isPdf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    return file.read(5) == "%PDF-";
}

// The first page of a PDF, rendered at the resolution its fitted rectangle
// needs; `size` receives the page size in points.
std::optional<QImage> loadPdfPage(const QString& path, QSizeF& size)
{
    std::unique_ptr<Poppler::Document> document = Poppler::Document::load(path);
    if (!document || document->isLocked() || document->numPages() < 1) return std::nullopt;
    std::unique_ptr<Poppler::Page> page = document->page(0);
    if (!page) return std::nullopt;
    size = page->pageSizeF();
    if (!(size.width() > 0) || !(size.height() > 0)) return std::nullopt;
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    const double scale = fitScale(size.width(), size.height());
    QImage image = page->renderToImage(72.0 * scale, 72.0 * scale);
    if (image.isNull()) return std::nullopt;
    return image;
}

std::optional<QImage> loadRaster(const QString& path, QSizeF& size)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QSize stored = reader.size();
    // A very long, thin picture would round to no pixels across and not decode at all.
    if (stored.width() > decodeBoxWidth * 2 || stored.height() > decodeBoxHeight * 2)
        reader.setScaledSize(
            stored.scaled(decodeBoxWidth, decodeBoxHeight, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage image = reader.read();
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) return std::nullopt;
    size = image.size();
    return image;
}

void drawTitle(QPainter& painter, const OrganizerItem& item)
{
    QTextOption option(Qt::AlignHCenter | Qt::AlignTop);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    const auto drawText = [&](const std::string& text, const QRectF& rect, int pixelSize, bool bold,
                              const QColor& colour) {
        if (text.empty()) return;
        QFont font(QStringLiteral("Noto Sans CJK JP"));
        font.setPixelSize(pixelSize);
        font.setBold(bold);
        painter.save();
        painter.setClipRect(rect);
        painter.setFont(font);
        painter.setPen(colour);
        painter.drawText(rect, QString::fromStdString(text), option);
        painter.restore();
    };
    drawText(item.name, fromBottomLeft(80, 300, 1120, 160), 48, true, Qt::white);
    // Light grey: two-thirds white.
    drawText(item.note, fromBottomLeft(80, 100, 1120, 180), 26, false, QColor(170, 170, 170));
}

} // namespace

double fitScale(double width, double height)
{
    return std::min(canvasWidth / width, canvasHeight / height);
}

QRectF fittedRect(double width, double height)
{
    const double scale = fitScale(width, height);
    const double w = width * scale;
    const double h = height * scale;
    return fromBottomLeft((canvasWidth - w) / 2, (canvasHeight - h) / 2, w, h);
}

std::optional<QImage> loadPicture(const std::string& path, QSizeF& size)
{
    const QString file = QString::fromStdString(path);
    // Only a plain file can hold a picture: opening a pipe or a device would
    // block the export where no cancel reaches it.
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(std::filesystem::path(path), ec)) return std::nullopt;
    return isPdf(file) ? loadPdfPage(file, size) : loadRaster(file, size);
}

QImage blankCanvas()
{
    QImage canvas(int(canvasWidth), int(canvasHeight), QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull()) throw failure("画像メモリを確保できません。");
    canvas.fill(Qt::black);
    return canvas;
}

void drawFitted(QImage& canvas, const QImage& picture, const QSizeF& size)
{
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(fittedRect(size.width(), size.height()), picture);
}

void drawTitleCard(QImage& canvas, const OrganizerItem& item)
{
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drawTitle(painter, item);
}

int frameCount(double lengthSeconds)
{
    const double frames = std::ceil(lengthSeconds * 30.0);
    if (!(frames >= 1)) return 1;
    return static_cast<int>(std::min(frames, 864000.0 * 30.0));
}

} // namespace zanto::slides
