#pragma once
// Seeking in a movie whose container keeps no index (a transport or program
// stream): FFmpeg finds a time there by a search over the file's bytes, which
// lands on the first key frame after where it aims. Where to aim so that it
// lands on a key frame at or before a time, told the same way to the
// export's decoder and to the preview's player, so that both decode forward
// to the same frame.
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaOwners.h"
#include "platform/media/MediaTime.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

struct AVStream;

namespace zanto::media {

// How much a search reads before it gives up. A stream that marks no key
// frame after its start (a recorder that marks none, a hostile file) has no
// key frame to find: unbounded, each doubling of the aim would read it to
// its end.
struct KeyFrameSearchBounds {
    // What one pass reads on from where its aim landed. A pass stops sooner
    // at the first packet past the time sought, so a marked stream reads
    // about one key-frame interval.
    int64_t passBytes = int64_t(32) << 20;
    // Wall-clock time the whole search may take, checked between packets;
    // none: the bytes alone bound it.
    std::optional<std::chrono::milliseconds> time;
    // Set from another thread to stop the search between packets.
    const std::atomic<bool>* cancel = nullptr;
};

enum class KeyFrameLanding {
    KeyFrame,  // on a key frame at or before the time
    FileStart, // the file's first byte: the aim reached the stream's start, or
               // no key frame turned up within bounds of it
    NotFound,  // no key frame at or before the time within bounds, far from the
               // start (or the search was cancelled); the reader is left anywhere
};

struct KeyFrameSeek {
    KeyFrameLanding landing = KeyFrameLanding::NotFound;
    // How far before the time the seek aimed (for FileStart, an aim before
    // the stream's start); the last aim tried when NotFound.
    MediaTime preroll;
};

// Seeks `format` (its stream `stream` being the video track of `asset`) so
// that the next packets of the stream lead from a key frame at or before
// `time` up to it: aims back by the asset's seek preroll, doubled until the
// first key frame read on from the aim lies at or before `time`, or until
// the aim reaches the stream's start (then the seek goes to the file's first
// byte, as a search for a time before the first packet overshoots). Zero
// preroll where the container's own index finds the key frame. Reads
// packets, decodes nothing. Any thread, one at a time per `format`.
KeyFrameSeek seekToKeyFrameBefore(AVFormatContext* format, AVStream* stream, const MediaAsset& asset,
                                  const MediaTime& time, const KeyFrameSearchBounds& bounds);

// The video track the probe found in `asset`, in `format`, a reader opened
// on the same file again: a recording still being written may list its
// streams differently by then. nullptr when that index holds no video of
// the same codec.
AVStream* probedVideoStream(AVFormatContext* format, const MediaAsset& asset);

// The same for the preview player, on a reader of its own of the movie's
// file (opened at the first ask) and a worker thread of its own (started at
// the first ask). Made, asked and destroyed on one thread, the owner's (the
// GUI thread); the answers come there. Not copyable.
class KeyFrameAim {
public:
    // How far before a time a seek must aim; none where no better aim is
    // known than the player's own search: the file cannot be read again,
    // its video is no longer where the probe found it, or no key frame at
    // or before the time turned up within bounds.
    using Answer = std::function<void(std::optional<MediaTime> preroll)>;

    // The worker's searches: an answer within a couple of seconds even from a slow disk.
    static constexpr KeyFrameSearchBounds kWorkerBounds{.time = std::chrono::milliseconds(1500)};
    // A search on the owner's thread (a refused worker, prerollFor): it
    // holds the window at most this long.
    static constexpr KeyFrameSearchBounds kCallerBounds{.time = std::chrono::milliseconds(250)};

    // `bounds`: of the worker's searches; its cancel flag is the object's own.
    explicit KeyFrameAim(MediaAsset asset, KeyFrameSearchBounds bounds = kWorkerBounds);
    // Stops the opening of the reader or a search under way (between reads
    // and packets) and waits for the worker; no answer is handed out afterwards.
    ~KeyFrameAim();
    KeyFrameAim(const KeyFrameAim&) = delete;
    KeyFrameAim& operator=(const KeyFrameAim&) = delete;

    // Works out on the worker how far before `time` a seek must aim and
    // hands the answer to `done` on the owner's thread (queued; never run
    // once `context`, an object of the owner's thread, or this object is
    // gone). An ask not yet started when another comes is dropped
    // unanswered: only the latest is sure to be answered. Where the system
    // refuses the worker a thread, the answer comes queued all the same,
    // from a search on the owner's thread within kCallerBounds (the worker
    // is asked for again at the next ask).
    void aim(const MediaTime& time, QObject* context, Answer done);

    // The same at once, on the owner's thread within kCallerBounds (after
    // waiting for a search under way on the worker); the asset's seek
    // preroll where no better aim is known. The search a refused worker
    // falls back to, as the player once ran it at every seek: the
    // benchmarks weigh it against aim().
    MediaTime prerollFor(const MediaTime& time);

private:
    struct Ask {
        MediaTime time;
        QPointer<QObject> context;
        Answer done;
    };

    std::optional<MediaTime> search(const MediaTime& time, const KeyFrameSearchBounds& bounds);
    bool openReader();
    bool startWorker();
    void work();
    void answer(Ask ask, std::optional<MediaTime> preroll);

    const MediaAsset asset_;
    KeyFrameSearchBounds bounds_;
    // Lives on the owner's thread: answers are queued to it, and go with it.
    std::unique_ptr<QObject> relay_;
    std::atomic<bool> cancel_{false};

    std::mutex readerMutex_; // guards format_, stream_, failed_
    InputFormatPtr format_;
    AVStream* stream_ = nullptr;
    bool failed_ = false;

    std::mutex mutex_; // guards pending_, stopping_
    std::condition_variable wake_;
    std::optional<Ask> pending_;
    bool stopping_ = false;
    std::thread worker_; // the owner's thread starts and joins it
};

} // namespace zanto::media
