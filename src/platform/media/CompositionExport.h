#pragma once
#include "platform/media/AffineTransform.h"
#include "platform/media/MediaTime.h"
#include "platform/media/MovieWriter.h"

#include <QImage>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zanto {

namespace media {
class FirstError;
class MovieEncoder;
class SoundWriter;
}

// A range of one file's track placed on the composition's timeline.
struct CompositionInsert {
    std::filesystem::path assetPath;
    MediaTimeRange sourceRange;  // in the file's time, its first presentation time being zero
    MediaTime outputTime;        // where the range starts in the output

    bool operator==(const CompositionInsert&) const = default;
};

// How output frames inside `timeRange` show the video track: the source frame
// mapped by `transform` (source pixels to output pixels, origin top left) over
// opaque black. Output times no instruction covers are black.
struct CompositionInstruction {
    MediaTimeRange timeRange;
    AffineTransform transform;
    // Whether the composition's custom compositor (if any) draws these frames;
    // frames it does not draw take the plain road, overlays included.
    bool usesCompositor = true;

    bool operator==(const CompositionInstruction&) const = default;
};

// A picture laid over the composed frames (source-over) while the output
// frame's time lies in `timeRange`, and only then.
struct CompositionOverlay {
    QImage image;  // premultiplied; the output size (scaled to it otherwise)
    MediaTimeRange timeRange;
    // When `image` is null: makes the picture, on an export thread, when the
    // first frame of `timeRange` is drawn; it is let go after the last one, so
    // an export holds only the pictures on show.
    std::function<QImage()> draw;
};

// What a custom compositor gets for one output frame.
struct CompositorRequest {
    // The video track's frame at this time placed by the instruction's
    // transform on the output canvas over opaque black (output size, opaque
    // premultiplied BGRA); a null image when no insert covers the time.
    const QImage& sourceFrame;
    MediaTime outputTime;
    int instructionIndex;  // into Composition::instructions
    const CompositionInstruction& instruction;
    // When set, the very picture sourceFrame refers to, handed over: the
    // compositor may take it and draw on it rather than on a copy.
    QImage* handedOver = nullptr;
};
// Returns the finished frame at the output size. Called on the export's
// compose thread, one frame at a time, in output order. An exception fails the
// export and is kept as its error (rethrown unchanged by `run`).
using CompositorCallback = std::function<QImage(const CompositorRequest&)>;

// One video and one audio track built from inserted ranges, and how to draw
// them. Frames are made at every multiple of `frameDuration` below `duration`.
struct Composition {
    std::vector<CompositionInsert> video;
    std::vector<CompositionInsert> audio;  // no inserts: the output has no audio stream
    std::vector<CompositionInstruction> instructions;
    std::vector<CompositionOverlay> overlays;  // on frames the compositor does not draw
    CompositorCallback compositor;             // when set, draws the frames of instructions that use it
    MediaTime duration;
    int width = 1280;
    int height = 720;
    MediaTime frameDuration{1, 30};
    MovieContainer container = MovieContainer::MP4;
};

enum class ExportStatus { Waiting, Exporting, Completed, Failed, Cancelled };

// Renders a composition into one movie file with the export quality settings,
// on threads of its own: decoding, composing and encoding run in a pipeline.
// Made and started by one thread; `progress`, `status`, `error`, `cancel` and
// the waits may be called from any thread. After a failure or a cancel no
// output is left at the destination.
class CompositionExport {
public:
    CompositionExport(Composition composition, std::filesystem::path output);
    // Cancels a running export and waits for its threads (so it must not be
    // destroyed from its own completion).
    ~CompositionExport();
    CompositionExport(const CompositionExport&) = delete;
    CompositionExport& operator=(const CompositionExport&) = delete;

    // Starts the export; `completion` runs once on the export's thread when it
    // has ended in any way, before the waits return (so it must not wait on
    // this export itself). Only the first call starts anything.
    void start(std::function<void()> completion = {});
    // Blocks until the export has ended or `timeout` has passed; true when ended.
    bool waitFor(std::chrono::milliseconds timeout);
    void wait();
    // start() and wait(), then rethrows the error of a failed export; a
    // cancelled export throws MediaError("... cancelled").
    void run();

    double progress() const;  // 0 to 1, frames encoded over frames to make
    ExportStatus status() const;
    // The failure of a failed export: the exception as thrown (MediaError, or
    // whatever the compositor threw).
    std::exception_ptr error() const;
    std::string errorMessage() const;
    // Any thread, any time, any number of times.
    void cancel();

private:
    void execute();
    struct Pipeline;  // the queues between the stages
    void runPipeline(media::FirstError& failure);
    void encodeFrames(media::MovieEncoder& encoder, media::SoundWriter* sound, Pipeline& pipeline,
                      media::FirstError& failure);
    void finishWith(ExportStatus status, std::exception_ptr error);

    Composition composition_;
    std::filesystem::path output_;
    std::function<void()> completion_;
    std::thread worker_;
    std::atomic<bool> cancelled_{false};
    std::atomic<int64_t> framesDone_{0};
    int64_t frameCount_ = 0;
    // `mutex_` guards status_, error_, ended_, completion_, frameCount_ and the
    // start of worker_; `ended_` is signalled through `endedChanged_`.
    mutable std::mutex mutex_;
    std::condition_variable endedChanged_;
    ExportStatus status_ = ExportStatus::Waiting;
    std::exception_ptr error_;
    bool ended_ = false;
};

// Frames a composition makes: ceil(duration / frameDuration).
int64_t compositionFrameCount(const Composition& composition);

} // namespace zanto
