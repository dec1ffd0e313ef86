#pragma once
// Output-sized yuv420p frames whose pixel memory is used again once every
// reference to a frame is let go, on whatever thread. Pictures handed on by
// the thousand then neither map fresh pages nor have them cleared by the
// system, frame after frame. Inside the media layer only.
#include "platform/media/MediaOwners.h"

struct AVBufferPool;

namespace zanto::media {

class FramePool {
public:
    FramePool(int width, int height);
    // Frames still held keep their memory until they are let go.
    ~FramePool();
    FramePool(const FramePool&) = delete;
    FramePool& operator=(const FramePool&) = delete;

    // A frame of the pool's size, tagged BT.709, limited range; its pixels
    // are whatever they were, or black when `black`.
    FramePtr frame(bool black = true);

private:
    int width_;
    int height_;
    int linesizes_[4] = {};
    size_t offsets_[3] = {};
    AVBufferPool* pool_ = nullptr;
};

} // namespace zanto::media
