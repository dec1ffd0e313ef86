#pragma once
// The decoders of a composition's video inserts, inside the media layer.
// Inserts are asked for one after another in output order (by the export's
// decode thread). A file's decoder stays open for the inserts that come back
// to it, and while one insert is decoded the next one's decoder is opened,
// sought and brought to its first frame on a thread of its own, so the
// pictures go on without a pause between items.
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

    // The decoder of video insert `insert`, which nothing else uses until
    // another insert is asked for. Asking for a new insert starts preparing
    // the one after it. Throws MediaError when the file cannot be read (a
    // failed preparation throws here, for the insert it was made for).
    VideoDecoder& decoder(int insert);

    // Decoders open now (for tests and measurements).
    size_t openCount() const;

private:
    struct Slot {
        std::filesystem::path path;
        std::unique_ptr<VideoDecoder> decoder;
        bool busy = false; // the current insert's, or being prepared
        uint64_t lastUse = 0;
    };

    Slot* take(int insert);
    Slot* prepare(int insert);
    void release(Slot* slot);
    void startPreparing(int after);
    void dropPreparation();
    bool goesOnInto(int from, int to) const;
    MediaTime firstSourceTime(int insert) const;

    const Composition& composition_;
    // `mutex_` guards slots_, every slot's busy and lastUse, assets_ and
    // uses_; the decoders themselves belong to whoever holds their slot busy.
    mutable std::mutex mutex_;
    std::list<Slot> slots_;
    std::map<std::filesystem::path, MediaAsset> assets_;
    uint64_t uses_ = 0;
    // The decode thread's own: the insert in use and the one being prepared.
    int current_ = -1;
    Slot* currentSlot_ = nullptr;
    int preparing_ = -1;
    std::future<Slot*> prepared_;
};

} // namespace zanto::media
