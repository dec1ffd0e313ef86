#include "platform/media/FramePool.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/frame.h>
}

using namespace zanto::media;

// Frames held at once never share memory; a frame let go lends its memory to
// the next one, which is black again when asked; frames outlive their pool.
TEST(FramePool, FramesHeldAtOnceAreTheirOwnAndMemoryComesBack)
{
    auto pool = std::make_unique<FramePool>(6, 4);
    FramePtr first = pool->frame();
    FramePtr second = pool->frame();
    ASSERT_NE(first->data[0], second->data[0]);
    EXPECT_EQ(first->format, AV_PIX_FMT_YUV420P);
    EXPECT_EQ(first->width, 6);
    EXPECT_EQ(first->height, 4);
    EXPECT_EQ(first->linesize[0] % 64, 0);

    uint8_t* memory = first->data[0];
    first->data[0][0] = 200;
    first->data[2][first->linesize[2] + 2] = 7;
    first.reset();
    FramePtr again = pool->frame();
    ASSERT_EQ(again->data[0], memory);
    EXPECT_EQ(again->data[0][0], 16);
    EXPECT_EQ(again->data[2][again->linesize[2] + 2], 128);
    EXPECT_EQ(av_frame_is_writable(again.get()), 1);

    pool.reset();
    again->data[1][0] = 1; // still its own memory
    EXPECT_EQ(second->data[0][5 + 3 * second->linesize[0]], 16);
}
