#pragma once
#include "platform/media/MediaTime.h"
#include "platform/media/MovieContainer.h"

#include <QImage>

#include <atomic>
#include <filesystem>
#include <memory>

namespace zanto {

namespace media {
class MovieEncoder;
class FrameConverter;
} // namespace media

struct MovieWriterSettings {
    int width = 1280;
    int height = 720;
    MediaTime frameDuration{1, 30}; // each frame lasts this long; the last one ends the movie
    MovieContainer container = MovieContainer::MP4;
    bool audio = false; // an AAC track at 48 kHz stereo
    // A movie only this program reads again, on the way to an export:
    // encoded fast at the finer intermediate quality.
    bool intermediate = false;
};

// Writes a movie from pictures given with their times, encoded with the
// export quality settings (H.264, AAC). Owned by one thread, except `cancel`,
// which any thread may call. Every method throws MediaError on failure; a
// file the writer created and did not finish is removed when it goes away
// (a file that stood there before is overwritten, never removed). A folder
// at `path` is refused.
class MovieWriter {
public:
    MovieWriter(const std::filesystem::path& path, const MovieWriterSettings& settings);
    ~MovieWriter();
    MovieWriter(const MovieWriter&) = delete;
    MovieWriter& operator=(const MovieWriter&) = delete;

    // One picture shown from `time` on (times must increase). Any QImage
    // format; scaled to the movie's size when it differs.
    void appendVideoFrame(const QImage& image, const MediaTime& time);
    // Interleaved stereo float samples at 48 kHz, following those before;
    // a negative count or no samples for a positive one throws.
    void appendAudio(const float* interleavedStereo, int frameCount);
    // Completes the file.
    void finish();
    // Stops the writing: the next append or finish throws, and the file is removed.
    void cancel() { cancelled_ = true; }
    bool isCancelled() const { return cancelled_; }

private:
    void checkNotCancelled() const;
    void removeCreatedFile() noexcept;

    std::filesystem::path path_;
    MovieWriterSettings settings_;
    std::unique_ptr<media::MovieEncoder> encoder_;
    std::unique_ptr<media::FrameConverter> converter_;
    std::atomic<bool> cancelled_{false};
    // The last picture's conversion, reused when the same image comes again
    // (a still written frame after frame).
    int64_t lastImageKey_ = 0;
    std::shared_ptr<void> lastFrame_; // an AVFrame, kept out of this header
    bool finished_ = false;
    bool createdFile_ = false;
    int64_t lastPts_ = -1;
};

} // namespace zanto
