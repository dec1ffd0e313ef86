#pragma once
// A picture an overlay compositor lays over frame after frame unchanged.
// The compositor makes it and hands it over again for every frame that shows
// it; the export brings it into YUV for the first of them and from then on
// holds only that, letting the picture itself go.
//
// Threads: made on any thread; any number of compose threads may ask for its
// tables at once: the first makes them under the object's lock, the others
// wait for them. The tables never change afterwards.
#include <QImage>

#include <memory>
#include <mutex>

namespace zanto {

namespace media {
class YuvOverlay;
}

class StandingPicture {
public:
    // `picture`: premultiplied, of the output size.
    explicit StandingPicture(QImage picture);
    ~StandingPicture();
    StandingPicture(const StandingPicture&) = delete;
    StandingPicture& operator=(const StandingPicture&) = delete;

    // The export's own use: the picture's YUV tables, made on the first call.
    const media::YuvOverlay& tables();

private:
    std::mutex mutex_; // guards picture_ and tables_
    QImage picture_;   // until the tables are made
    std::unique_ptr<const media::YuvOverlay> tables_;
};

} // namespace zanto
