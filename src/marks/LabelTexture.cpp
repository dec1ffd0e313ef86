#include "marks/LabelTexture.h"

#include "platform/gpu/Device.h"
#include "platform/gpu/GpuError.h"
#include "platform/gpu/Texture.h"

#include <QColor>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>

namespace zanto {
namespace {

constexpr int maxLabelCharacters = 24;
// How the text is measured and drawn: tabs expanded, line breaks kept.
constexpr int textFlags = Qt::TextExpandTabs;
// Bitmaps are made at 72 dots an inch so that a point is a pixel.
constexpr int dotsPerMeter72 = 2835;

QColor colour(const Float4& c, float alphaFactor)
{
    auto unit = [](float v) { return std::isfinite(v) ? std::clamp(double(v), 0.0, 1.0) : 0.0; };
    return QColor::fromRgbF(float(unit(c.x)), float(unit(c.y)), float(unit(c.z)), float(unit(c.w * alphaFactor)));
}

QFont labelFont(double size)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setBold(true);
    font.setPointSizeF(size);
    return font;
}

struct Layout {
    double fontSize = 0;
    double padding = 0;
    double textWidth = 0;
    double textHeight = 0;
    int width = 0;
    int height = 0;
};

std::optional<Layout> layOut(const QString& text, const MarkerParameters& p, int targetWidth, int maxSide)
{
    // Non-finite sizes describe no label anyone could see.
    if (!std::isfinite(p.labelSize) || !std::isfinite(p.labelPadding)) return std::nullopt;
    const double s = double(targetWidth) / 1920.0;
    Layout layout;
    layout.fontSize = std::max(8.0, double(p.labelSize) * s);
    layout.padding = std::max(0.0, double(p.labelPadding) * s);
    // A font or margin beyond the largest texture could only make a bitmap
    // that no texture holds; refuse it before any memory is asked for.
    if (!std::isfinite(layout.fontSize) || !std::isfinite(layout.padding) || layout.fontSize > maxSide
        || layout.padding > maxSide)
        return std::nullopt;
    QImage probe(1, 1, QImage::Format_RGBA8888_Premultiplied);
    probe.setDotsPerMeterX(dotsPerMeter72);
    probe.setDotsPerMeterY(dotsPerMeter72);
    const QFontMetricsF metrics(labelFont(layout.fontSize), &probe);
    // Line breaks inside the text start new lines, as the user typed them.
    const QSizeF textSize = metrics.size(textFlags, text);
    layout.textWidth = textSize.width();
    layout.textHeight = textSize.height();
    const double width = std::ceil(layout.textWidth + 2 * layout.padding);
    const double height = std::ceil(layout.textHeight + 1.25 * layout.padding);
    if (!(width <= maxSide) || !(height <= maxSide)) return std::nullopt;
    layout.width = std::max(8, int(width));
    layout.height = std::max(8, int(height));
    return layout;
}

QImage drawLabel(const QString& text, const MarkerParameters& p, const Layout& layout, double s)
{
    QImage image(layout.width, layout.height, QImage::Format_RGBA8888_Premultiplied);
    if (image.isNull()) return image;
    image.setDotsPerMeterX(dotsPerMeter72);
    image.setDotsPerMeterY(dotsPerMeter72);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    if (!painter.isActive()) return QImage();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const double w = layout.width;
    const double h = layout.height;
    const double radius = std::min(0.42 * h, 18.0 * s);
    QPainterPath box;
    box.addRoundedRect(QRectF(0, 0, w, h), radius, radius);
    painter.fillPath(box, colour(p.labelBoxColor, p.labelBackgroundOpacity));
    painter.setFont(labelFont(layout.fontSize));
    painter.setPen(colour(p.labelTextColor, p.labelOpacity));
    // One reference pixel below the vertical centre, `padding` from the left.
    const QRectF textRect(layout.padding, (h - layout.textHeight) / 2 + s, layout.textWidth, layout.textHeight);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | textFlags, text);
    painter.end();
    return image;
}

} // namespace

std::string labelText(const std::string& text)
{
    const QString trimmed = QString::fromUtf8(text.data(), qsizetype(text.size())).trimmed();
    if (trimmed.isEmpty()) return {};
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, trimmed);
    int count = 0;
    qsizetype end = trimmed.size();
    while (graphemes.toNextBoundary() != -1) {
        if (++count == maxLabelCharacters) {
            end = graphemes.position();
            break;
        }
    }
    return trimmed.left(end).toStdString();
}

std::optional<LabelImage> makeLabelImage(const std::string& text, const MarkerParameters& p, int width, int height,
                                         int maxSide)
{
    if (!p.labelEnabled || width <= 0 || height <= 0) return std::nullopt;
    // Fonts exist only inside a GUI application; without one there is no
    // label rather than an abort.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return std::nullopt;
    const std::string shown = labelText(text);
    if (shown.empty()) return std::nullopt;
    const QString qtext = QString::fromStdString(shown);
    // A box more than twice the target's larger side can only be seen in
    // part, and its bitmap would cost memory out of all proportion: such a
    // label is left out like one no texture could hold.
    const int limit = int(std::min<long long>(maxSide, 2LL * std::max(width, height)));
    const auto layout = layOut(qtext, p, width, limit);
    if (!layout) return std::nullopt;
    const double s = double(width) / 1920.0;
    QImage image = drawLabel(qtext, p, *layout, s);
    if (image.isNull()) return std::nullopt;
    const float bw = float(layout->width);
    const float bh = float(layout->height);
    const float fs = float(s);
    Float4 frame{p.position.x * float(width) + p.labelOffset.x * fs - bw * 0.5f,
                 p.position.y * float(height) + p.labelOffset.y * fs - bh * 0.5f, bw, bh};
    if (!std::isfinite(frame.x) || !std::isfinite(frame.y)) return std::nullopt;
    return LabelImage{std::move(image), frame, layout->fontSize};
}

std::optional<LabelTexture> makeLabelTexture(const std::string& text, const MarkerParameters& parameters, int width,
                                             int height, const std::shared_ptr<gpu::Device>& device)
{
    if (!device) return std::nullopt;
    auto label = makeLabelImage(text, parameters, width, height, device->maxTextureSize());
    if (!label) return std::nullopt;
    const QImage& image = label->image;
    auto texture = device->makeTexture(
        {gpu::PixelFormat::RGBA8Unorm, image.width(), image.height(), gpu::TextureUsage::ShaderRead});
    if (!texture) return std::nullopt;
    try {
        texture->replace(image.constBits(), std::size_t(image.bytesPerLine()));
    } catch (const gpu::GpuError&) {
        return std::nullopt; // no label rather than a failed marker
    }
    return LabelTexture{std::move(texture), label->frame};
}

} // namespace zanto
