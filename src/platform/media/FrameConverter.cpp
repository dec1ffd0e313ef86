#include "platform/media/FrameConverter.h"

#include "platform/media/MediaError.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <cstring>

namespace zanto::media {
namespace {

// Conversions run beside the decoder's and the encoder's threads, which keep
// the cores busy. Two horizontal bands per picture (scaled independently, row
// for row the same as one pass) halve a conversion's time; a band per core
// leaves each conversion waiting for whichever band the scheduler runs last.
constexpr int kScaleThreads = 2;

int swsMatrix(int tagged, ColourMatrix fallback)
{
    switch (tagged) {
    case AVCOL_SPC_BT709:
        return SWS_CS_ITU709;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
    case AVCOL_SPC_FCC:
        return SWS_CS_ITU601;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return SWS_CS_BT2020;
    default:
        switch (fallback) {
        case ColourMatrix::BT601:
            return SWS_CS_ITU601;
        case ColourMatrix::BT2020:
            return SWS_CS_BT2020;
        case ColourMatrix::BT709:
            break;
        }
        return SWS_CS_ITU709;
    }
}

bool isRgb(int format)
{
    return format == AV_PIX_FMT_BGRA || format == AV_PIX_FMT_RGBA || format == AV_PIX_FMT_ARGB
           || format == AV_PIX_FMT_RGB24 || format == AV_PIX_FMT_BGR0;
}

void sliceYuvRect(const AVFrame* target, const PixelRect& rect, uint8_t* planes[4], int strides[4])
{
    planes[0] = target->data[0] + rect.y * target->linesize[0] + rect.x;
    planes[1] = target->data[1] + (rect.y / 2) * target->linesize[1] + rect.x / 2;
    planes[2] = target->data[2] + (rect.y / 2) * target->linesize[2] + rect.x / 2;
    planes[3] = nullptr;
    for (int i = 0; i < 3; ++i) strides[i] = target->linesize[i];
    strides[3] = 0;
}

} // namespace

SwsContext* FrameConverter::context(int sw, int sh, int sf, int dw, int dh, int df, bool quick)
{
    int key[7] = {sw, sh, sf, dw, dh, df, quick};
    if (!scale_ || std::memcmp(key, key_, sizeof key) != 0) {
        // YUV to YUV scaling uses the same filter as FFmpeg's own scale filter;
        // RGB conversions take full chroma and accurate rounding for exact
        // colours, unless asked for quickly.
        int flags = SWS_BICUBIC;
        if (quick)
            flags = SWS_BILINEAR;
        else if (isRgb(sf) || isRgb(df))
            flags = SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT;
        colours_.reset();
        scale_.reset(sws_alloc_context());
        bool ready = scale_ && av_opt_set_int(scale_.get(), "srcw", sw, 0) >= 0
                     && av_opt_set_int(scale_.get(), "srch", sh, 0) >= 0
                     && av_opt_set_int(scale_.get(), "dstw", dw, 0) >= 0
                     && av_opt_set_int(scale_.get(), "dsth", dh, 0) >= 0
                     && av_opt_set_pixel_fmt(scale_.get(), "src_format", AVPixelFormat(sf), 0) >= 0
                     && av_opt_set_pixel_fmt(scale_.get(), "dst_format", AVPixelFormat(df), 0) >= 0
                     && av_opt_set_int(scale_.get(), "sws_flags", flags, 0) >= 0
                     && av_opt_set_int(scale_.get(), "threads", kScaleThreads, 0) >= 0
                     && sws_init_context(scale_.get(), nullptr, nullptr) >= 0;
        if (!ready) {
            scale_.reset();
            throw MediaError("Cannot convert frames of " + std::to_string(sw) + "×" + std::to_string(sh) + ": "
                             + mediaErrorText(AVERROR(EINVAL)));
        }
        std::memcpy(key_, key, sizeof key);
    }
    return scale_.get();
}

// States the colours unless the context already has them: the tables are
// rebuilt in every band's context on each call.
void FrameConverter::setColours(const std::array<int, 4>& colours)
{
    if (colours_ == colours) return;
    sws_setColorspaceDetails(scale_.get(), sws_getCoefficients(colours[0]), colours[1], sws_getCoefficients(colours[2]),
                             colours[3], 0, 1 << 16, 1 << 16);
    colours_ = colours;
}

// Scales `source` into the planes given (a picture inside `owner`'s memory).
void FrameConverter::scale(const AVFrame* source, uint8_t* const planes[4], const int strides[4], int width, int height,
                           int format)
{
    FramePtr target = allocateFrame();
    target->width = width;
    target->height = height;
    target->format = format;
    for (int i = 0; i < 4; ++i) {
        target->data[i] = planes[i];
        target->linesize[i] = strides[i];
    }
    // The scaler takes references to both frames; a borrowed picture gets a
    // buffer that frees nothing, as its owner outlives the call.
    target->buf[0] = av_buffer_create(
        planes[0], 1, [](void*, uint8_t*) {}, nullptr, 0);
    if (!target->buf[0]) throw MediaError("Cannot convert a frame: " + mediaErrorText(AVERROR(ENOMEM)));
    checkMedia(sws_scale_frame(scale_.get(), target.get(), source), "Cannot convert a frame");
}

// Source matrix and range from the frame's tags (falling back to the track's),
// output BT.709 limited range for YUV and full range for RGB.
void FrameConverter::stateColours(const AVFrame* frame, int dstFormat)
{
    bool srcRgb = isRgb(frame->format);
    int srcMatrix = srcRgb ? SWS_CS_ITU709 : swsMatrix(frame->colorspace, sourceMatrix_);
    int srcFull = srcRgb || frame->color_range == AVCOL_RANGE_JPEG || frame->format == AV_PIX_FMT_YUVJ420P
                  || frame->format == AV_PIX_FMT_YUVJ422P || frame->format == AV_PIX_FMT_YUVJ444P;
    int dstFull = isRgb(dstFormat) ? 1 : 0;
    int dstMatrix = isRgb(dstFormat) ? srcMatrix : SWS_CS_ITU709;
    if (srcRgb && !isRgb(dstFormat)) srcMatrix = dstMatrix;
    setColours({srcMatrix, srcFull, dstMatrix, dstFull});
}

QImage FrameConverter::toImage(const AVFrame* frame, int width, int height)
{
    if (width <= 0 || height <= 0) {
        width = frame->width;
        height = frame->height;
    }
    // swscale writes straight alpha; a source with transparency is premultiplied afterwards.
    const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
    bool alpha = format && (format->flags & AV_PIX_FMT_FLAG_ALPHA);
    QImage image(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        throw MediaError("Cannot allocate a picture of " + std::to_string(width) + "×" + std::to_string(height));
    scaleInto(frame, image, PixelRect{0, 0, width, height});
    return alpha ? image.convertToFormat(QImage::Format_ARGB32_Premultiplied) : image;
}

QImage FrameConverter::quickImage(const AVFrame* frame)
{
    QImage image(frame->width, frame->height, QImage::Format_ARGB32);
    if (image.isNull())
        throw MediaError("Cannot allocate a picture of " + std::to_string(frame->width) + "×"
                         + std::to_string(frame->height));
    context(frame->width, frame->height, frame->format, frame->width, frame->height, AV_PIX_FMT_BGRA, true);
    stateColours(frame, AV_PIX_FMT_BGRA);
    uint8_t* planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
    scale(frame, planes, strides, frame->width, frame->height, AV_PIX_FMT_BGRA);
    return image;
}

QImage FrameConverter::areaToImage(const AVFrame* frame, const PixelRect& rect)
{
    // A view of the frame's planes from the rectangle's corner on; the frame
    // keeps the memory for the call.
    FramePtr view = allocateFrame();
    view->format = frame->format;
    view->width = rect.width;
    view->height = rect.height;
    view->color_range = frame->color_range;
    view->colorspace = frame->colorspace;
    int strides[4];
    sliceYuvRect(frame, rect, view->data, strides);
    for (int i = 0; i < 4; ++i) view->linesize[i] = strides[i];
    view->buf[0] = av_buffer_create(
        view->data[0], 1, [](void*, uint8_t*) {}, nullptr, 0);
    if (!view->buf[0]) throw MediaError("Cannot convert a frame: " + mediaErrorText(AVERROR(ENOMEM)));
    // The fast converter writes whole runs of pixels: the picture is one of
    // FFmpeg's own, whose rows and end leave room for that, lent to the image.
    FramePtr picture = allocateFrame();
    picture->format = AV_PIX_FMT_BGRA;
    picture->width = rect.width;
    picture->height = rect.height;
    checkMedia(av_frame_get_buffer(picture.get(), 0), "Cannot allocate a picture");
    context(rect.width, rect.height, view->format, rect.width, rect.height, AV_PIX_FMT_BGRA, true);
    stateColours(view.get(), AV_PIX_FMT_BGRA);
    checkMedia(sws_scale_frame(scale_.get(), picture.get(), view.get()), "Cannot convert a frame");
    AVFrame* held = picture.release();
    return QImage(
        held->data[0], rect.width, rect.height, held->linesize[0], QImage::Format_ARGB32_Premultiplied,
        [](void* frame) {
            auto* owned = static_cast<AVFrame*>(frame);
            av_frame_free(&owned);
        },
        held);
}

void FrameConverter::scaleInto(const AVFrame* frame, QImage& target, const PixelRect& rect)
{
    context(frame->width, frame->height, frame->format, rect.width, rect.height, AV_PIX_FMT_BGRA);
    stateColours(frame, AV_PIX_FMT_BGRA);
    uint8_t* planes[4] = {target.bits() + rect.y * target.bytesPerLine() + rect.x * 4, nullptr, nullptr, nullptr};
    int strides[4] = {int(target.bytesPerLine()), 0, 0, 0};
    scale(frame, planes, strides, rect.width, rect.height, AV_PIX_FMT_BGRA);
}

void FrameConverter::scaleInto(const AVFrame* frame, AVFrame* target, const PixelRect& rect)
{
    // Chroma is subsampled by two: keep the rectangle on even positions and sizes.
    PixelRect even{rect.x & ~1, rect.y & ~1, (rect.width + 1) & ~1, (rect.height + 1) & ~1};
    even.width = std::min(even.width, target->width - even.x);
    even.height = std::min(even.height, target->height - even.y);
    context(frame->width, frame->height, frame->format, even.width, even.height, AV_PIX_FMT_YUV420P);
    stateColours(frame, AV_PIX_FMT_YUV420P);
    uint8_t* planes[4];
    int strides[4];
    sliceYuvRect(target, even, planes, strides);
    scale(frame, planes, strides, even.width, even.height, AV_PIX_FMT_YUV420P);
}

void FrameConverter::imageToFrame(const QImage& image, AVFrame* target)
{
    context(image.width(), image.height(), AV_PIX_FMT_BGRA, target->width, target->height, AV_PIX_FMT_YUV420P);
    setColours({SWS_CS_ITU709, 1, SWS_CS_ITU709, 0});
    // The image is only read; the frame borrows its memory for the call.
    FramePtr source = allocateFrame();
    source->width = image.width();
    source->height = image.height();
    source->format = AV_PIX_FMT_BGRA;
    source->data[0] = const_cast<uint8_t*>(image.constBits());
    source->linesize[0] = int(image.bytesPerLine());
    source->buf[0] = av_buffer_create(
        source->data[0], 1, [](void*, uint8_t*) {}, nullptr, 0);
    if (!source->buf[0]) throw MediaError("Cannot convert a picture: " + mediaErrorText(AVERROR(ENOMEM)));
    checkMedia(sws_scale_frame(scale_.get(), target, source.get()), "Cannot convert a picture");
}

void describeOutputFrame(AVFrame* frame, int width, int height)
{
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    frame->colorspace = AVCOL_SPC_BT709;
    frame->color_primaries = AVCOL_PRI_BT709;
    frame->color_trc = AVCOL_TRC_BT709;
    frame->color_range = AVCOL_RANGE_MPEG;
}

FramePtr blackVideoFrame(int width, int height)
{
    FramePtr frame = allocateFrame();
    describeOutputFrame(frame.get(), width, height);
    checkMedia(av_frame_get_buffer(frame.get(), 0), "Cannot allocate a video frame");
    fillBlack(frame.get());
    return frame;
}

void fillBlack(AVFrame* frame)
{
    for (int plane = 0; plane < 3; ++plane) {
        int rows = plane == 0 ? frame->height : (frame->height + 1) / 2;
        std::memset(frame->data[plane], plane == 0 ? 16 : 128, size_t(frame->linesize[plane]) * size_t(rows));
    }
}

} // namespace zanto::media
