#pragma once
// 2D drawing of plain marks (arrows, circles, text).
//
// Marks are normalised over the 16:9 picture with the origin at the bottom
// left; these routines map them into the painter's top-left coordinates
// themselves, so text is never drawn mirrored.

#include "marks/OrganizerMark.h"

#include <QImage>
#include <QRectF>

#include <vector>

class QPainter;

namespace zanto {

// Size of the mark canvas every export and telestration preview is made on.
inline constexpr int markCanvasWidth = 1280;
inline constexpr int markCanvasHeight = 720;

// Strokes `marks`, in list order, into `painter`, scaled to `rect` (painter
// coordinates). A normalised point (x, y) lands at
// (rect.left + x * width, rect.bottom - y * height). Kinds "circle" and "text"
// have their own look; every other kind, "gxl" included, is drawn as an arrow
// (callers pass plain marks only). Runs on the painter's thread; the painter's
// pen, brush and font are restored afterwards.
void drawOrganizerMarks(const std::vector<OrganizerMark>& marks, const QRectF& rect, QPainter& painter);

// A transparent canvas of the mark canvas's size (Format_ARGB32_Premultiplied),
// or a null image when it cannot be allocated. Premultiplied, transparent is
// all zero bytes, and the system hands large zeroed blocks over untouched: a
// page of it takes memory only once something is drawn on it. Any thread.
QImage transparentMarkCanvas();

// The marks drawn on a fresh transparent 1280 x 720 canvas
// (Format_ARGB32_Premultiplied: B, G, R, A premultiplied bytes, top row first).
// Returns a null image when the canvas cannot be allocated. Any thread.
QImage organizerMarkImage(const std::vector<OrganizerMark>& marks);

} // namespace zanto
