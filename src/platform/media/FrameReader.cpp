#include "platform/media/FrameReader.h"

#include "platform/media/FrameConverter.h"
#include "platform/media/MediaError.h"
#include "platform/media/VideoDecoder.h"

#include <QTransform>

namespace zanto {

struct FrameReader::Conversion {
    media::FrameConverter converter;

    VideoFrame convert(const media::VideoDecoder& decoder, FrameOrientation orientation, const AVFrame* frame)
    {
        const VideoTrackInfo& video = decoder.video();
        QImage image = converter.toImage(frame, video.width, video.height);
        if (orientation == FrameOrientation::Upright) image = uprightImage(image, video.preferredTransform);
        return VideoFrame{decoder.frameTime(frame), std::move(image)};
    }
};

FrameReader::FrameReader(const std::filesystem::path& path, FrameOrientation orientation, FrameDecoding decoding)
    : decoder_(std::make_unique<media::VideoDecoder>(
        path, decoding == FrameDecoding::OneThread ? 1 : media::VideoDecoder::kFrameThreads)),
      orientation_(orientation),
      conversion_(std::make_unique<Conversion>(Conversion{media::FrameConverter(decoder_->video().colourMatrix)}))
{ }

FrameReader::~FrameReader() = default;
FrameReader::FrameReader(FrameReader&&) noexcept = default;
FrameReader& FrameReader::operator=(FrameReader&&) noexcept = default;

const MediaAsset& FrameReader::asset() const
{
    return decoder_->asset();
}

void FrameReader::seek(const MediaTime& time)
{
    decoder_->seek(time);
}

std::optional<VideoFrame> FrameReader::nextFrame()
{
    const AVFrame* frame = decoder_->next();
    if (!frame) return std::nullopt;
    return conversion_->convert(*decoder_, orientation_, frame);
}

VideoFrame FrameReader::frameAt(const MediaTime& time)
{
    return conversion_->convert(*decoder_, orientation_, decoder_->frameAt(time));
}

QImage uprightImage(const QImage& image, const AffineTransform& t)
{
    int turns = t.quarterTurns();
    if (turns == 0) return image;
    if (turns > 0) return image.transformed(QTransform().rotate(90.0 * turns));
    // Flips and other matrices: QImage::transformed moves the result back to the origin itself.
    return image.transformed(QTransform(t.a, t.b, t.c, t.d, 0, 0), Qt::SmoothTransformation);
}

QImage copyStillImage(const std::filesystem::path& path, const MediaTime& time, FrameDecoding decoding)
{
    FrameReader reader(path, FrameOrientation::Upright, decoding);
    if (time < MediaTime::zero() || time > reader.asset().duration)
        throw MediaError("No picture at " + std::to_string(time.seconds()) + " s in “" + path.string()
                         + "”: the time lies outside the movie");
    return reader.frameAt(time).image;
}

} // namespace zanto
