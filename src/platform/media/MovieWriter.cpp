#include "platform/media/MovieWriter.h"

#include "platform/media/FrameConverter.h"
#include "platform/media/MediaError.h"
#include "platform/media/MovieEncoder.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/frame.h>
}

#include <vector>

namespace zanto {

MovieWriter::MovieWriter(const std::filesystem::path& path, const MovieWriterSettings& settings)
    : path_(path), settings_(settings)
{
    if (settings.width <= 0 || settings.height <= 0 || settings.width % 2 || settings.height % 2)
        throw MediaError("Cannot write “" + path.string() + "”: the picture size must be even and positive");
    if (settings.frameDuration.value <= 0 || !settings.frameDuration.isValid())
        throw MediaError("Cannot write “" + path.string() + "”: the frame duration must be positive");
    media::EncoderSetup setup;
    setup.width = settings.width;
    setup.height = settings.height;
    setup.frameDuration = settings.frameDuration;
    setup.timeScale = settings.frameDuration.timeScale;
    setup.container = settings.container;
    setup.audio = settings.audio;
    setup.intermediate = settings.intermediate;
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw MediaError("Cannot write “" + path.string() + "”: a folder stands at that place");
    // What stood there before is the user's; only a file of our own goes on failure.
    createdFile_ = std::filesystem::symlink_status(path, error).type() == std::filesystem::file_type::not_found;
    try {
        encoder_ = std::make_unique<media::MovieEncoder>(path, setup);
    } catch (...) {
        removeCreatedFile();
        throw;
    }
    converter_ = std::make_unique<media::FrameConverter>();
}

MovieWriter::~MovieWriter()
{
    if (!finished_) {
        encoder_.reset(); // closes the file before it goes
        removeCreatedFile();
    }
}

void MovieWriter::removeCreatedFile() noexcept
{
    std::error_code error;
    if (createdFile_ && std::filesystem::is_regular_file(std::filesystem::symlink_status(path_, error)))
        std::filesystem::remove(path_, error);
}

void MovieWriter::checkNotCancelled() const
{
    if (cancelled_) throw MediaError("Writing “" + path_.string() + "” was cancelled");
    if (finished_) throw MediaError("“" + path_.string() + "” is already finished");
}

void MovieWriter::appendVideoFrame(const QImage& image, const MediaTime& time)
{
    checkNotCancelled();
    int64_t pts = time.convertScale(settings_.frameDuration.timeScale).value;
    if (pts <= lastPts_ || pts < 0)
        throw MediaError("Frame times of “" + path_.string() + "” must increase (" + time.toString() + ")");
    if (!lastFrame_ || image.cacheKey() != lastImageKey_) {
        QImage source = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (source.size() != QSize(settings_.width, settings_.height))
            source = source.scaled(settings_.width, settings_.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        media::FramePtr converted = media::blackVideoFrame(settings_.width, settings_.height);
        converter_->imageToFrame(source, converted.get());
        lastFrame_ = std::shared_ptr<AVFrame>(converted.release(), media::FrameDeleter());
        lastImageKey_ = image.cacheKey();
    }
    // The encoder takes its own reference; the pixels are never written again.
    media::FramePtr frame(av_frame_clone(static_cast<const AVFrame*>(lastFrame_.get())));
    if (!frame) throw MediaError("Cannot hold a frame: " + mediaErrorText(AVERROR(ENOMEM)));
    encoder_->writeVideo(frame.get(), pts);
    lastPts_ = pts;
}

void MovieWriter::appendAudio(const float* interleaved, int frameCount)
{
    checkNotCancelled();
    if (frameCount < 0 || (frameCount > 0 && !interleaved))
        throw MediaError("No audio samples to write to “" + path_.string() + "”");
    std::vector<float> left(static_cast<size_t>(frameCount));
    std::vector<float> right(static_cast<size_t>(frameCount));
    for (int i = 0; i < frameCount; ++i) {
        left[size_t(i)] = interleaved[2 * i];
        right[size_t(i)] = interleaved[2 * i + 1];
    }
    encoder_->writeAudio(left.data(), right.data(), frameCount);
}

void MovieWriter::finish()
{
    checkNotCancelled();
    if (lastPts_ < 0) throw MediaError("“" + path_.string() + "” holds no picture");
    encoder_->finish();
    finished_ = true;
}

} // namespace zanto
