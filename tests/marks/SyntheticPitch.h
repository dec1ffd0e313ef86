#pragma once

// A made-up broadcast frame for the marker renderer's tests: mown turf in two
// greens, white pitch lines and players in red and blue shirts, on the
// 1280 x 720 canvas as B, G, R, A premultiplied bytes (opaque), top row first.
// Also small helpers to upload it and to read pixels back.

#include "marks/GXLPoint.h"
#include "platform/gpu/Device.h"
#include "platform/gpu/Texture.h"

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zanto::test {

// Text drawing needs a GUI application; tests make one (offscreen) on first
// use, from the main thread.
inline void ensureGuiApplication()
{
    static int argc = 1;
    static char name[] = "zanto-test";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = QGuiApplication::instance() ? nullptr : new QGuiApplication(argc, argv);
    (void)app;
}

inline constexpr int canvasWidth = 1280;
inline constexpr int canvasHeight = 720;

// Players' feet, in mark coordinates (origin bottom left, y up).
struct PitchPlayer {
    GXLPoint feet;
    QColor shirt;
};

inline const std::vector<PitchPlayer>& pitchPlayers()
{
    static const std::vector<PitchPlayer> players = {
        {{0.30, 0.35}, QColor(215, 30, 40)}, {{0.45, 0.28}, QColor(215, 30, 40)}, {{0.62, 0.40}, QColor(30, 60, 200)},
        {{0.75, 0.30}, QColor(30, 60, 200)}, {{0.52, 0.55}, QColor(215, 30, 40)}, {{0.20, 0.60}, QColor(30, 60, 200)},
    };
    return players;
}

inline QPointF toPixels(const GXLPoint& p)
{
    return {p.x * canvasWidth, (1 - p.y) * canvasHeight};
}

inline QImage syntheticPitch()
{
    ensureGuiApplication();
    QImage image(canvasWidth, canvasHeight, QImage::Format_ARGB32_Premultiplied);
    // No antialiasing: every pixel is turf or clearly not, which the turf key
    // tests rely on.
    QPainter painter(&image);
    for (int stripe = 0; stripe < 16; ++stripe) {
        const QColor grass = stripe % 2 ? QColor::fromRgbF(0.28f, 0.42f, 0.14f) : QColor::fromRgbF(0.24f, 0.37f, 0.12f);
        painter.fillRect(QRectF(stripe * 80.0, 0, 80, canvasHeight), grass);
    }
    painter.setPen(QPen(QColor(242, 242, 242), 4));
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(QPointF(640, 0), QPointF(640, 720));  // halfway line
    painter.drawEllipse(QPointF(640, 400), 170, 70);       // centre circle
    painter.drawLine(QPointF(0, 120), QPointF(1280, 120)); // far touchline
    painter.drawRect(QRectF(1010, 180, 270, 380));         // penalty area
    for (const auto& player : pitchPlayers()) {
        const QPointF feet = toPixels(player.feet);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(20, 20, 20)); // shorts and boots
        painter.drawRect(QRectF(feet.x() - 8, feet.y() - 26, 16, 26));
        painter.setBrush(player.shirt);
        painter.drawRoundedRect(QRectF(feet.x() - 10, feet.y() - 52, 20, 28), 5, 5);
        painter.setBrush(QColor(225, 180, 140)); // head
        painter.drawEllipse(QPointF(feet.x(), feet.y() - 60), 7, 8);
    }
    painter.end();
    return image;
}

inline std::shared_ptr<gpu::Texture> canvasTexture(const std::shared_ptr<gpu::Device>& device)
{
    return device->makeTexture({gpu::PixelFormat::BGRA8Unorm, canvasWidth, canvasHeight,
                                gpu::TextureUsage::RenderTarget | gpu::TextureUsage::ShaderRead});
}

inline std::shared_ptr<gpu::Texture> pitchTexture(const std::shared_ptr<gpu::Device>& device, const QImage& pitch)
{
    auto texture = canvasTexture(device);
    texture->replace(pitch.constBits(), std::size_t(pitch.bytesPerLine()));
    return texture;
}

// A read-back canvas as a QImage sharing nothing with the texture.
inline QImage canvasImage(const gpu::Texture& texture)
{
    QImage image(texture.width(), texture.height(), QImage::Format_ARGB32_Premultiplied);
    texture.getBytes(image.bits(), std::size_t(image.bytesPerLine()));
    return image;
}

struct Bgra {
    int b, g, r, a;
};

inline Bgra pixel(const QImage& image, int x, int y)
{
    const uchar* p = image.constScanLine(y) + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

// A mark picture laid over the pitch (source-over).
inline QImage overPitch(const QImage& pitch, const QImage& mark)
{
    QImage frame = pitch;
    QPainter painter(&frame);
    painter.drawImage(0, 0, mark);
    painter.end();
    return frame;
}

// Named mark pictures over the pitch at half size, in a grid, for a person to
// look at.
inline QImage galleryOverPitch(const QImage& pitch, const std::vector<std::pair<std::string, QImage>>& marks,
                               int columns)
{
    ensureGuiApplication();
    const int tileWidth = canvasWidth / 2, tileHeight = canvasHeight / 2;
    const int rows = int((marks.size() + std::size_t(columns) - 1) / std::size_t(columns));
    QImage gallery(tileWidth * columns, tileHeight * rows, QImage::Format_ARGB32_Premultiplied);
    gallery.fill(Qt::black);
    QPainter painter(&gallery);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setPen(Qt::white);
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const QRect tile(int(i % std::size_t(columns)) * tileWidth, int(i / std::size_t(columns)) * tileHeight,
                         tileWidth, tileHeight);
        painter.drawImage(tile, overPitch(pitch, marks[i].second));
        painter.drawText(tile.adjusted(8, 4, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                         QString::fromStdString(marks[i].first));
    }
    painter.end();
    return gallery;
}

} // namespace zanto::test
