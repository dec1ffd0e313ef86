#pragma once
// Colour conversion and scaling of decoded frames, with the colour matrix
// stated rather than left to swscale's defaults. Inside the media layer only;
// one thread at a time per converter.
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaOwners.h"

#include <QImage>

#include <array>
#include <optional>

namespace zanto::media {

struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class FrameConverter {
public:
    // `sourceMatrix` is used when the frame itself carries no tag.
    explicit FrameConverter(ColourMatrix sourceMatrix = ColourMatrix::BT709) : sourceMatrix_(sourceMatrix) { }

    void setSourceMatrix(ColourMatrix matrix) { sourceMatrix_ = matrix; }

    // The frame as opaque premultiplied BGRA, at its coded size or scaled to
    // the given one (a track's natural size, for non-square pixels).
    QImage toImage(const AVFrame* frame, int width = 0, int height = 0);
    // The frame at its own size as opaque BGRA, converted quickly (chroma
    // shared by each two pixels) for pictures shown in passing.
    QImage quickImage(const AVFrame* frame);
    // The part `rect` (on even positions and sizes) of a yuv420p frame, in
    // BGRA at its own size, for colours to be looked at rather than shown:
    // the fast conversion, chroma shared by each two pixels, within a step of
    // the exact one.
    QImage areaToImage(const AVFrame* frame, const PixelRect& rect);
    // Scales the frame into `rect` of a premultiplied BGRA image.
    void scaleInto(const AVFrame* frame, QImage& target, const PixelRect& rect);
    // Scales the frame into `rect` of a yuv420p frame (BT.709, limited range).
    void scaleInto(const AVFrame* frame, AVFrame* target, const PixelRect& rect);
    // A BGRA image to a whole yuv420p frame of the same size (BT.709, limited range).
    void imageToFrame(const QImage& image, AVFrame* target);

private:
    SwsContext* context(int srcWidth, int srcHeight, int srcFormat, int dstWidth, int dstHeight, int dstFormat,
                        bool quick = false);
    void stateColours(const AVFrame* frame, int dstFormat);
    void setColours(const std::array<int, 4>& colours); // source matrix, full range; target matrix, full range
    void scale(const AVFrame* source, uint8_t* const planes[4], const int strides[4], int width, int height,
               int format);

    ColourMatrix sourceMatrix_;
    ScalePtr scale_;
    std::optional<std::array<int, 4>> colours_; // what scale_ was last told
    int key_[7] = {};
};

// Describes a frame as a yuv420p picture of the given size, BT.709, limited range.
void describeOutputFrame(AVFrame* frame, int width, int height);
// A new yuv420p frame of the given size, filled with opaque black, tagged BT.709.
FramePtr blackVideoFrame(int width, int height);
// Fills a yuv420p frame with black.
void fillBlack(AVFrame* frame);

} // namespace zanto::media
