#pragma once
// The standing layers of an overlay compositor brought into YUV: a picture
// handed over again for frame after frame is converted the first time and
// blended from its tables from then on. Inside the media layer; shared by the
// compose threads of one export, each of which may call in at once.
#include "platform/media/YuvOverlay.h"

#include <QImage>

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>

namespace zanto::media {

class StandingLayers {
public:
    // The tables of `picture` (premultiplied, of the frames' size), made on
    // the first call for it and kept while it is among the last few asked for.
    std::shared_ptr<const YuvOverlay> tables(const QImage& picture);

private:
    // A compositor lays one or two standing layers over an item (the marks
    // below the moving ones and those above). Each holds some five megabytes
    // of tables for a picture-wide mark: two are kept, and the few frames on
    // either side of an item's end may make one again.
    static constexpr size_t kKept = 2;

    // Guards kept_, the newest first. Tables are made under it: the other
    // thread, wanting the same ones, waits for them rather than making them twice.
    std::mutex mutex_;
    std::deque<std::pair<qint64, std::shared_ptr<const YuvOverlay>>> kept_; // by QImage::cacheKey
};

} // namespace zanto::media
