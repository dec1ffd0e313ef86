#include "platform/media/FramePool.h"

#include "platform/media/FrameConverter.h"
#include "platform/media/MediaError.h"

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
}

namespace zanto::media {
namespace {

// Rows and planes start on this boundary, as the scalers' vector code likes.
constexpr size_t kAlign = 64;

size_t aligned(size_t size)
{
    return (size + kAlign - 1) / kAlign * kAlign;
}

} // namespace

FramePool::FramePool(int width, int height) : width_(width), height_(height)
{
    if (width <= 0 || height <= 0) throw MediaError("A frame pool needs a positive size");
    const int chromaHeight = (height + 1) / 2;
    linesizes_[0] = int(aligned(size_t(width)));
    linesizes_[1] = linesizes_[2] = int(aligned(size_t(width + 1) / 2));
    offsets_[1] = aligned(size_t(linesizes_[0]) * size_t(height));
    offsets_[2] = offsets_[1] + aligned(size_t(linesizes_[1]) * size_t(chromaHeight));
    // The scalers may read a little past a plane's last row.
    const size_t size = offsets_[2] + aligned(size_t(linesizes_[2]) * size_t(chromaHeight)) + kAlign;
    pool_ = av_buffer_pool_init(size, av_buffer_allocz);
    if (!pool_) throw MediaError("Cannot hold video frames: " + mediaErrorText(AVERROR(ENOMEM)));
}

FramePool::~FramePool()
{
    av_buffer_pool_uninit(&pool_);
}

FramePtr FramePool::frame(bool black)
{
    FramePtr frame = allocateFrame();
    frame->buf[0] = av_buffer_pool_get(pool_);
    if (!frame->buf[0]) throw MediaError("Cannot hold a video frame: " + mediaErrorText(AVERROR(ENOMEM)));
    describeOutputFrame(frame.get(), width_, height_);
    for (int plane = 0; plane < 3; ++plane) {
        frame->data[plane] = frame->buf[0]->data + offsets_[plane];
        frame->linesize[plane] = linesizes_[plane];
    }
    if (black) fillBlack(frame.get());
    return frame;
}

} // namespace zanto::media
