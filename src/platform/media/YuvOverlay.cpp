#include "platform/media/YuvOverlay.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <algorithm>
#include <cmath>

namespace zanto::media {
namespace {

// BT.709 limited range, from premultiplied 8-bit R, G, B with alpha a (0 to 1):
// the offsets are premultiplied too, so blending stays linear.
double lumaOf(double r, double g, double b, double a)
{
    return 16 * a + (0.2126 * r + 0.7152 * g + 0.0722 * b) * 219 / 255;
}
double blueOf(double r, double g, double b, double a)
{
    return 128 * a + (-0.114572 * r - 0.385428 * g + 0.5 * b) * 224 / 255;
}
double redOf(double r, double g, double b, double a)
{
    return 128 * a + (0.5 * r - 0.454153 * g - 0.045847 * b) * 224 / 255;
}

uint16_t fixed(double value)
{
    return uint16_t(std::clamp(std::lround(value * 256), 0L, 65535L));
}

void blendPlane(uint8_t* data, int stride, int left, int top, int width, int height, const std::vector<uint16_t>& keep,
                const std::vector<uint16_t>& value)
{
    for (int y = 0; y < height; ++y) {
        uint8_t* row = data + size_t(top + y) * size_t(stride) + left;
        const uint16_t* k = keep.data() + size_t(y) * size_t(width);
        const uint16_t* v = value.data() + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x) row[x] = uint8_t(std::min(255u, (unsigned(row[x]) * k[x] + v[x] + 128) >> 8));
    }
}

} // namespace

YuvOverlay::YuvOverlay(const QImage& source, const QRect& drawn)
{
    const QImage picture = source.format() == QImage::Format_ARGB32_Premultiplied
                               ? source
                               : source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = picture.width() & ~1, h = picture.height() & ~1;
    const QRect looked = drawn.isNull() ? QRect(0, 0, w, h) : drawn.intersected(QRect(0, 0, w, h));
    int l = w, t = h, r = 0, b = 0;
    for (int y = looked.top(); y <= looked.bottom(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = looked.left(); x <= looked.right(); ++x)
            if (qAlpha(row[x])) {
                l = std::min(l, x), r = std::max(r, x + 1);
                t = std::min(t, y), b = std::max(b, y + 1);
            }
    }
    if (r <= l) return;
    left_ = l & ~1, top_ = t & ~1, right_ = std::min(w, (r + 1) & ~1), bottom_ = std::min(h, (b + 1) & ~1);
    const int bw = right_ - left_, bh = bottom_ - top_;
    luma_ = Plane{std::vector<uint16_t>(size_t(bw) * size_t(bh)), std::vector<uint16_t>(size_t(bw) * size_t(bh)), bw};
    for (Plane* p : {&blue_, &red_})
        *p = Plane{std::vector<uint16_t>(size_t(bw / 2) * size_t(bh / 2)),
                   std::vector<uint16_t>(size_t(bw / 2) * size_t(bh / 2)), bw / 2};
    for (int cy = 0; cy < bh / 2; ++cy) {
        for (int cx = 0; cx < bw / 2; ++cx) {
            double alpha = 0, blue = 0, red = 0;
            for (int dy = 0; dy < 2; ++dy) {
                const QRgb* row = reinterpret_cast<const QRgb*>(picture.constScanLine(top_ + 2 * cy + dy));
                for (int dx = 0; dx < 2; ++dx) {
                    const QRgb px = row[left_ + 2 * cx + dx];
                    const double a = qAlpha(px) / 255.0;
                    const size_t at = size_t(2 * cy + dy) * size_t(bw) + size_t(2 * cx + dx);
                    luma_.keep[at] = fixed(1 - a);
                    luma_.value[at] = fixed(lumaOf(qRed(px), qGreen(px), qBlue(px), a));
                    alpha += a / 4;
                    blue += blueOf(qRed(px), qGreen(px), qBlue(px), a) / 4;
                    red += redOf(qRed(px), qGreen(px), qBlue(px), a) / 4;
                }
            }
            const size_t at = size_t(cy) * size_t(bw / 2) + size_t(cx);
            blue_.keep[at] = red_.keep[at] = fixed(1 - alpha);
            blue_.value[at] = fixed(blue);
            red_.value[at] = fixed(red);
        }
    }
}

void YuvOverlay::blendInto(AVFrame* frame) const
{
    if (isEmpty()) return;
    const int bw = right_ - left_, bh = bottom_ - top_;
    blendPlane(frame->data[0], frame->linesize[0], left_, top_, bw, bh, luma_.keep, luma_.value);
    blendPlane(frame->data[1], frame->linesize[1], left_ / 2, top_ / 2, bw / 2, bh / 2, blue_.keep, blue_.value);
    blendPlane(frame->data[2], frame->linesize[2], left_ / 2, top_ / 2, bw / 2, bh / 2, red_.keep, red_.value);
}

} // namespace zanto::media
