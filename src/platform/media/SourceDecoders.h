#pragma once
// The decoders of a composition's video inserts, inside the media layer.
// Inserts are asked for one after another in output order (by the export's
// decode thread). A file's decoder stays open for the inserts that come back
// to it, and while one insert is decoded the next ones' decoders are opened,
// sought and brought to their first frames, each on a thread of its own, so
// the way from a key frame to each cut is decoded on cores the encoder leaves
// idle and the pictures go on without a pause between items.
#include "platform/media/Composition.h"
#include "platform/media/MediaAsset.h"

#include <cstdint>
#include <filesystem>
#include <future>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace zanto::media {

class VideoDecoder;

// The insert whose range covers output time `time` (later inserts lie over
// earlier ones), or -1.
int insertCovering(const std::vector<CompositionInsert>& inserts, const MediaTime& time);

class SourceDecoders {
public:
    explicit SourceDecoders(const Composition& composition);
    // Waits for a preparation under way.
    ~SourceDecoders();
    SourceDecoders(const SourceDecoders&) = delete;
    SourceDecoders& operator=(const SourceDecoders&) = delete;

    // Decoders open at most: the current insert's and those of the inserts
    // prepared ahead of it. Each holds some thirty megabytes of HD pictures
    // for its frame threads.
    static constexpr size_t kOpenDecoders = 3;
    // Inserts prepared ahead of the current one.
    static constexpr int kPreparedAhead = 2;

    // The decoder of video insert `insert`, which nothing else uses until
    // another insert is asked for. Asking for a new insert starts preparing
    // the ones after it; an insert the system gives no thread to prepare on
    // is opened here when it comes. Throws MediaError when the file cannot be
    // read (a failed preparation throws here, for the insert it was made for).
    VideoDecoder& decoder(int insert);

    // Decoders open now (for tests and measurements).
    size_t openCount() const;

private:
    struct Slot {
        std::filesystem::path path;
        std::unique_ptr<VideoDecoder> decoder; // null until opened
        bool busy = false;                     // the current insert's, or being prepared
        uint64_t lastUse = 0;
    };
    // An insert coming up: prepared on a thread of its own with `slot`, or,
    // without one, left to the decoder of the insert before it, which goes
    // on into it without a seek.
    struct Preparation {
        int insert = -1;
        Slot* slot = nullptr;
        std::future<void> done;
    };

    Slot* claimPrepared(int insert);
    Slot* reserve(int insert, std::unique_ptr<VideoDecoder>* evicted);
    void open(Slot* slot);
    void release(Slot* slot);
    void startPreparing(int after);
    void prepare(int insert, Slot* slot, std::unique_ptr<VideoDecoder> evicted);
    void dropPreparations(size_t count);
    void closeSpent(int current);
    bool goesOnInto(int from, int to) const;
    MediaTime firstSourceTime(int insert) const;

    const Composition& composition_;
    // `mutex_` guards slots_, every slot's busy and lastUse, assets_,
    // keyFrames_ and uses_; the decoders themselves belong to whoever holds
    // their slot busy.
    mutable std::mutex mutex_;
    std::list<Slot> slots_;
    std::map<std::filesystem::path, MediaAsset> assets_;
    // Each opened file's key frame times, in order, when its index tells.
    std::map<std::filesystem::path, std::vector<MediaTime>> keyFrames_;
    // Where each file's last insert ends in the output.
    std::map<std::filesystem::path, MediaTime> lastShown_;
    uint64_t uses_ = 0;
    // The decode thread's own: the insert in use and those coming up, in
    // output order.
    int current_ = -1;
    Slot* currentSlot_ = nullptr;
    std::vector<Preparation> coming_;
};

} // namespace zanto::media
