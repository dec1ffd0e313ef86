#pragma once
// Reading the FrameCode index (TestMedia.h) off a picture a player or a view shows.
#include "support/TestMedia.h"

#include <QImage>

#include <cstring>

namespace zanto::test {

// The frame code of a whole picture, -1 when it shows none (or is null).
inline int pictureFrameCode(const QImage& picture)
{
    const QImage bgra = picture.convertToFormat(QImage::Format_ARGB32);
    if (bgra.isNull()) return -1;
    TestFrame frame{bgra.width(), bgra.height(), {}};
    frame.bgra.resize(size_t(bgra.width()) * size_t(bgra.height()) * 4);
    for (int y = 0; y < bgra.height(); ++y)
        std::memcpy(frame.bgra.data() + size_t(y) * size_t(bgra.width()) * 4, bgra.constScanLine(y),
                    size_t(bgra.width()) * 4);
    return readFrameCode(frame, 0, 0, frame.width, frame.height);
}

} // namespace zanto::test
