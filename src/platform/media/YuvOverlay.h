#pragma once
// A premultiplied picture laid over yuv420p frames without taking the frames
// out of YUV. Source-over blending is linear, so blending the picture's own
// BT.709 limited-range values, premultiplied by its alpha, gives what
// converting the frame to RGB, painting and converting back gives, for the
// cost of the picture's drawn area alone. Inside the media layer. Made on one
// thread, then only read: any number of compose threads blend one at once,
// each into its own frame.
#include "platform/media/MediaOwners.h"

#include <QImage>
#include <QRect>

#include <cstdint>
#include <vector>

namespace zanto::media {

class YuvOverlay {
public:
    // `picture` is premultiplied and of the frames' size. Pixels of no
    // alpha are left out: an empty picture blends nothing.
    explicit YuvOverlay(const QImage& picture);

    bool isEmpty() const { return right_ <= left_ || bottom_ <= top_; }
    // Blends the picture into a yuv420p frame of its size, in place, sixteen
    // samples a step: the same bytes as blendOnce gives.
    void blendInto(AVFrame* frame) const;
    // The same for a picture laid over one frame only, without the tables;
    // one known to be transparent outside `drawn` is looked at only there.
    static void blendOnce(const QImage& picture, const QRect& drawn, AVFrame* frame);

private:
    // Per pixel (luma) and per 2 x 2 block (chroma): the weight left to the
    // frame (0 to 256) and the picture's premultiplied value times 256.
    struct Plane {
        std::vector<uint16_t> keep;
        std::vector<uint16_t> value;
        int width = 0;
    };

    int left_ = 0, top_ = 0, right_ = 0, bottom_ = 0; // drawn area, on even positions
    Plane luma_;
    Plane blue_;
    Plane red_;
};

} // namespace zanto::media
