#pragma once
// A composition export and the threads it runs on.
//
// Threads and what each owns:
// - The caller's thread makes the export and starts it. progress, status,
//   error, cancel and the waits may be called from any thread.
// - The export thread (`worker_`) checks the sources (on up to four probing
//   threads it joins before going on), then owns the MovieEncoder: it writes
//   the pictures in output order and finishes the file, and runs the
//   completion. libx264 runs frame threads of its own inside the encoder.
// - The decoding thread owns SourceFrames (the source decoders, whose
//   threads stand back behind the encoder's, and the scalers): it places
//   every output frame's source picture and hands job k to compose thread
//   k % 2.
// - Two compose threads each own a FrameComposer: they blend the overlays
//   and call the custom compositor (in turn, in output order, through
//   `Turns`) or the overlay compositor (several frames at once; its GPU work
//   takes the frame engine's lock) and hand the finished frame back through
//   their own queue.
// - The frame pool is the export thread's, made before the stages and gone
//   after they are joined: the decoding thread places pictures in its frames
//   and the compose threads copy shared pictures into its frames to draw
//   on. FFmpeg's buffer pool gives and takes back frames on any thread, so
//   it needs no lock of ours.
// - The sound thread (SoundWriter) mixes and encodes the audio, at most a
//   second ahead of the pictures written; the encoder's muxer is shared with
//   the export thread under the encoder's own lock.
// - A custom compositor may run threads of its own (the serial compositor
//   starts its queue's thread on its first frame); an overlay compositor
//   runs on the compose threads.
//
// Locks: `mutex_` guards the fields named beside it; each queue between the
// stages, `Turns`, the first error and the standing layers' tables have their
// own lock, as has each standing picture of an overlay compositor while it
// is brought into YUV. One pair nests, always in this order: the soccer
// compositor holds a standing layer's `drawing` lock while it draws that
// layer, and drawing takes the frame engine's lock, under which no other is
// taken. Every other lock is let go before another is taken.
//
// Ending: a cancel sets `cancelled_`, which every stage tests between frames;
// the first failure on any thread is kept and closes every queue and the
// turns. Either way each stage leaves its loop, the export thread stops the
// sound thread and joins the decoding and compose threads, removes the
// unfinished file, and only then reports the end (Cancelled or Failed). A
// thread the system refuses (std::system_error from std::thread) is such a
// failure: the threads that did start are stopped and joined the same way.
#include "platform/media/Composition.h"

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
} // namespace media

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
    // this export itself). Only the first call starts anything. When the
    // system refuses the export its thread, the export has Failed with that
    // std::system_error, and the completion has run on the caller's thread,
    // by the time this returns.
    void start(std::function<void()> completion = {});
    // Blocks until the export has ended or `timeout` has passed; true when ended.
    bool waitFor(std::chrono::milliseconds timeout);
    void wait();
    // start() and wait(), then rethrows the error of a failed export; a
    // cancelled export throws MediaError("... cancelled").
    void run();

    double progress() const; // 0 to 1, frames encoded over frames to make
    ExportStatus status() const;
    // The failure of a failed export: the exception as thrown (MediaError, or
    // whatever the compositor threw).
    std::exception_ptr error() const;
    std::string errorMessage() const;
    // Any thread, any time, any number of times.
    void cancel();

private:
    void execute();
    struct Pipeline; // the queues between the stages
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

} // namespace zanto
