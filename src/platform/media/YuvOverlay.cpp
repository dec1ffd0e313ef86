#include "platform/media/YuvOverlay.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <algorithm>
#include <array>
#include <cstring>

namespace zanto::media {
namespace {

// BT.709 limited range from premultiplied 8-bit R, G, B with alpha a, in
// 1/256 steps: the offsets are premultiplied too, so blending stays linear.
// Coefficients are the matrix's times 219 (luma) or 224 (chroma) times 256.
int lumaOf(int r, int g, int b, int a)
{
    return (4096 * a + 11919 * r + 40097 * g + 4048 * b + 127) / 255;
}
int blueOf(int r, int g, int b, int a)
{
    return (32768 * a - 6570 * r - 22102 * g + 28672 * b + 127) / 255;
}
int redOf(int r, int g, int b, int a)
{
    return (32768 * a + 28672 * r - 26043 * g - 2629 * b + 127) / 255;
}
// The weight left to the frame, 0 to 256, for alpha a (or 4 a for a block).
int keepOf(int a, int scale = 1)
{
    return 256 - (a * 256 + 255 * scale / 2) / (255 * scale);
}

// What one 2 x 2 block of the picture lays over the frame, in 1/256 steps:
// each pixel's luma weight and value, and the block's chroma.
struct Block {
    std::array<uint16_t, 4> lumaKeep, luma; // top left, top right, bottom left, bottom right
    uint16_t chromaKeep, blue, red;
};

Block blockAt(const QImage& picture, int x, int y)
{
    Block block{};
    int alpha = 0, blue = 0, red = 0;
    for (int i = 0; i < 4; ++i) {
        const QRgb px = reinterpret_cast<const QRgb*>(picture.constScanLine(y + i / 2))[x + i % 2];
        const int r = qRed(px), g = qGreen(px), b = qBlue(px), a = qAlpha(px);
        block.lumaKeep[size_t(i)] = uint16_t(keepOf(a));
        block.luma[size_t(i)] = uint16_t(std::clamp(lumaOf(r, g, b, a), 0, 65535));
        alpha += a, blue += blueOf(r, g, b, a), red += redOf(r, g, b, a);
    }
    block.chromaKeep = uint16_t(keepOf(alpha, 4));
    block.blue = uint16_t(std::clamp((blue + 2) / 4, 0, 65535));
    block.red = uint16_t(std::clamp((red + 2) / 4, 0, 65535));
    return block;
}

uint8_t blended(uint8_t under, int keep, int value)
{
    return uint8_t(std::min(255u, (unsigned(under) * unsigned(keep) + unsigned(value) + 128) >> 8));
}

// Sixteen samples and their weights and values, as the compiler's vector
// types: one step of the blend runs on all of them at once.
using Bytes = uint8_t __attribute__((vector_size(16)));
using Words = uint16_t __attribute__((vector_size(32)));
constexpr int kWide = 16;

// `blended` for sixteen samples. It stays within 16 bits: the frame's part
// (under times keep) and the picture's premultiplied value add up to at most
// 255 times 256, so the sum and its rounding never carry out, and the result
// needs no clamp.
void blendWide(uint8_t* row, const uint16_t* keep, const uint16_t* value)
{
    Bytes under;
    Words k, v;
    std::memcpy(&under, row, sizeof under);
    std::memcpy(&k, keep, sizeof k);
    std::memcpy(&v, value, sizeof v);
    const Words sum = (__builtin_convertvector(under, Words) * k + v + 128) >> 8;
    const Bytes out = __builtin_convertvector(sum, Bytes);
    std::memcpy(row, &out, sizeof out);
}

void blendPlane(uint8_t* data, int stride, int left, int top, int width, int height, const std::vector<uint16_t>& keep,
                const std::vector<uint16_t>& value)
{
    for (int y = 0; y < height; ++y) {
        uint8_t* row = data + size_t(top + y) * size_t(stride) + left;
        const uint16_t* k = keep.data() + size_t(y) * size_t(width);
        const uint16_t* v = value.data() + size_t(y) * size_t(width);
        int x = 0;
        for (; x + kWide <= width; x += kWide) blendWide(row + x, k + x, v + x);
        for (; x < width; ++x) row[x] = blended(row[x], k[x], v[x]);
    }
}

// The part of a premultiplied picture holding anything but transparent
// pixels, looked for within `within`, widened to even positions.
QRect drawnPart(const QImage& picture, const QRect& within)
{
    const int w = picture.width() & ~1, h = picture.height() & ~1;
    const QRect looked = within.isNull() ? QRect(0, 0, w, h) : within.intersected(QRect(0, 0, w, h));
    int l = w, t = h, r = 0, b = 0;
    for (int y = looked.top(); y <= looked.bottom(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = looked.left(); x <= looked.right(); ++x)
            if (qAlpha(row[x])) {
                l = std::min(l, x), r = std::max(r, x + 1);
                t = std::min(t, y), b = std::max(b, y + 1);
            }
    }
    if (r <= l) return {};
    return QRect(QPoint(l & ~1, t & ~1), QPoint(std::min(w, (r + 1) & ~1) - 1, std::min(h, (b + 1) & ~1) - 1));
}

QImage premultipliedFrom(const QImage& source)
{
    return source.format() == QImage::Format_ARGB32_Premultiplied
               ? source
               : source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

YuvOverlay::YuvOverlay(const QImage& source)
{
    const QImage picture = premultipliedFrom(source);
    const QRect drawn = drawnPart(picture, QRect());
    if (drawn.isEmpty()) return;
    left_ = drawn.left(), top_ = drawn.top(), right_ = drawn.right() + 1, bottom_ = drawn.bottom() + 1;
    const int bw = right_ - left_, bh = bottom_ - top_;
    luma_ = Plane{std::vector<uint16_t>(size_t(bw) * size_t(bh)), std::vector<uint16_t>(size_t(bw) * size_t(bh)), bw};
    for (Plane* p : {&blue_, &red_})
        *p = Plane{std::vector<uint16_t>(size_t(bw / 2) * size_t(bh / 2)),
                   std::vector<uint16_t>(size_t(bw / 2) * size_t(bh / 2)), bw / 2};
    for (int cy = 0; cy < bh / 2; ++cy) {
        for (int cx = 0; cx < bw / 2; ++cx) {
            const Block block = blockAt(picture, left_ + 2 * cx, top_ + 2 * cy);
            for (size_t i = 0; i < 4; ++i) {
                const size_t at = size_t(2 * cy + int(i) / 2) * size_t(bw) + size_t(2 * cx + int(i) % 2);
                luma_.keep[at] = block.lumaKeep[i];
                luma_.value[at] = block.luma[i];
            }
            const size_t at = size_t(cy) * size_t(bw / 2) + size_t(cx);
            blue_.keep[at] = red_.keep[at] = block.chromaKeep;
            blue_.value[at] = block.blue;
            red_.value[at] = block.red;
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

void YuvOverlay::blendOnce(const QImage& source, const QRect& within, AVFrame* frame)
{
    const QImage picture = premultipliedFrom(source);
    // Transparent blocks are passed over as they come, so the part looked in
    // is only widened to whole blocks, never searched beforehand.
    const QRect whole(0, 0, picture.width() & ~1, picture.height() & ~1);
    const QRect looked = within.isNull() ? whole : within.intersected(whole);
    if (looked.isEmpty()) return;
    const QRect drawn(QPoint(looked.left() & ~1, looked.top() & ~1),
                      QPoint(std::min(whole.width(), (looked.right() + 2) & ~1) - 1,
                             std::min(whole.height(), (looked.bottom() + 2) & ~1) - 1));
    for (int y = drawn.top(); y < drawn.bottom(); y += 2) {
        uint8_t* luma[2] = {frame->data[0] + size_t(y) * size_t(frame->linesize[0]),
                            frame->data[0] + size_t(y + 1) * size_t(frame->linesize[0])};
        uint8_t* blue = frame->data[1] + size_t(y / 2) * size_t(frame->linesize[1]);
        uint8_t* red = frame->data[2] + size_t(y / 2) * size_t(frame->linesize[2]);
        const QRgb* top = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        const QRgb* under = reinterpret_cast<const QRgb*>(picture.constScanLine(y + 1));
        for (int x = drawn.left(); x < drawn.right(); x += 2) {
            // Premultiplied: a transparent pixel is all zero, and lays nothing.
            if ((top[x] | top[x + 1] | under[x] | under[x + 1]) == 0) continue;
            const Block block = blockAt(picture, x, y);
            for (size_t i = 0; i < 4; ++i) {
                uint8_t& under = luma[i / 2][x + int(i % 2)];
                under = blended(under, block.lumaKeep[i], block.luma[i]);
            }
            blue[x / 2] = blended(blue[x / 2], block.chromaKeep, block.blue);
            red[x / 2] = blended(red[x / 2], block.chromaKeep, block.red);
        }
    }
}

} // namespace zanto::media
