#pragma once
// Helpers of the playlist exporter's slide movies: the still picture of a
// title, image or freeze item on the 1280 × 720 canvas. loadPicture() is
// also the Organizer preview's loader of image items, so that both show the
// same picture. Any thread (QPainter on a QImage only).
#include "playlist/OrganizerItem.h"

#include <QImage>
#include <QRectF>
#include <QSizeF>

#include <optional>
#include <string>

namespace zanto::slides {

// The scale that fits a picture of this size whole into 1280 × 720.
double fitScale(double width, double height);

// Where a picture of this size lands on the canvas (top-left coordinates):
// fitted whole and centred, with black bars on the sides it does not fill.
QRectF fittedRect(double width, double height);

// An image file (turned upright by its orientation tag) or the first page of
// a PDF. `size` receives the picture's own size (pixels, or points for a PDF);
// the returned image may be decoded at another resolution. Nothing when the
// file cannot be read as a picture.
std::optional<QImage> loadPicture(const std::string& path, QSizeF& size);

// A black 1280 × 720 canvas (Format_ARGB32_Premultiplied); throws
// "画像メモリを確保できません。" when it cannot be allocated.
QImage blankCanvas();

void drawFitted(QImage& canvas, const QImage& picture, const QSizeF& size);

// The item's name (bold, 48 px, white) and note (26 px, light grey), centred
// and wrapped in their boxes.
void drawTitleCard(QImage& canvas, const OrganizerItem& item);

// Frames of a slide of this length at 30 fps: rounded up, at least one.
int frameCount(double lengthSeconds);

} // namespace zanto::slides
