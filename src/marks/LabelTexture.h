#pragma once

// The label of a marker: a rounded box with bold text, drawn with QPainter
// into a bitmap, uploaded into a small RGBA texture and placed centred on the
// marker position shifted by the label offset. Lengths of the parameters are
// reference pixels of a 1920-wide target. Never throws: whatever cannot be
// made (blank text, labels off, a bitmap larger than the largest texture, a
// failed upload, no QGuiApplication in the process) gives no label. Any thread; the bitmap belongs to the call.

#include "marks/MarkerParameters.h"

#include <QImage>

#include <memory>
#include <optional>
#include <string>

namespace zanto {

namespace gpu {
class Device;
class Texture;
} // namespace gpu

// The label text as drawn: trimmed of white space and line breaks at both
// ends and cut to its first 24 characters as the user sees them. Empty means
// no label.
std::string labelText(const std::string& text);

struct LabelImage {
    QImage image;        // Format_RGBA8888_Premultiplied, bw x bh
    Float4 frame;        // top-left x, y on the target in pixels, bw, bh
    double fontSize = 0; // pixels
};

// Lays out and draws the label for a target of width x height pixels.
// `maxSide` caps the bitmap's width and height (the device's largest
// texture); so does twice the target's larger side.
std::optional<LabelImage> makeLabelImage(const std::string& text, const MarkerParameters& parameters, int width,
                                         int height, int maxSide);

struct LabelTexture {
    std::shared_ptr<gpu::Texture> texture; // RGBA8Unorm, shader read
    Float4 frame;
};

std::optional<LabelTexture> makeLabelTexture(const std::string& text, const MarkerParameters& parameters, int width,
                                             int height, const std::shared_ptr<gpu::Device>& device);

} // namespace zanto
