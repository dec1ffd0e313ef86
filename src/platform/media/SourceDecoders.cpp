#include "platform/media/SourceDecoders.h"

#include "platform/media/VideoDecoder.h"

namespace zanto::media {
namespace {

// Decoders open at once: the current insert's and the next one's being
// prepared; a source that comes back finds its decoder while it is one of
// them. Each holds some fifty megabytes of HD pictures for its frame threads.
constexpr size_t kOpenDecoders = 2;

} // namespace

int insertCovering(const std::vector<CompositionInsert>& inserts, const MediaTime& time)
{
    for (int i = int(inserts.size()) - 1; i >= 0; --i) {
        const CompositionInsert& insert = inserts[size_t(i)];
        if (time >= insert.outputTime && time < insert.outputTime + insert.sourceRange.duration) return i;
    }
    return -1;
}

SourceDecoders::SourceDecoders(const Composition& composition) : composition_(composition) { }

SourceDecoders::~SourceDecoders()
{
    dropPreparation();
}

size_t SourceDecoders::openCount() const
{
    std::lock_guard lock(mutex_);
    return slots_.size();
}

VideoDecoder& SourceDecoders::decoder(int insert)
{
    if (insert == current_ && currentSlot_) return *currentSlot_->decoder;
    Slot* slot = nullptr;
    if (insert == preparing_) {
        preparing_ = -1;
        slot = prepared_.get();
    } else {
        dropPreparation();
    }
    release(currentSlot_);
    currentSlot_ = nullptr;
    current_ = -1;
    if (!slot) slot = take(insert);
    currentSlot_ = slot;
    current_ = insert;
    startPreparing(insert);
    return *slot->decoder;
}

// A decoder of the insert's file for the caller alone: the one last used of
// those open and idle, else a new one in place of the least recently used.
SourceDecoders::Slot* SourceDecoders::take(int insert)
{
    const std::filesystem::path& path = composition_.video[size_t(insert)].assetPath;
    std::unique_ptr<VideoDecoder> evicted;
    std::optional<MediaAsset> asset;
    Slot* slot = nullptr;
    {
        std::lock_guard lock(mutex_);
        Slot* oldest = nullptr;
        for (Slot& each : slots_) {
            if (each.busy) continue;
            if (each.path == path && (!slot || each.lastUse > slot->lastUse)) slot = &each;
            if (!oldest || each.lastUse < oldest->lastUse) oldest = &each;
        }
        if (slot) {
            slot->busy = true;
            slot->lastUse = ++uses_;
            return slot;
        }
        if (slots_.size() >= kOpenDecoders && oldest) {
            evicted = std::move(oldest->decoder);
            slots_.remove_if([&](const Slot& each) { return &each == oldest; });
        }
        if (auto known = assets_.find(path); known != assets_.end()) asset = known->second;
        slot = &slots_.emplace_back(Slot{path, nullptr, true, ++uses_});
    }
    evicted.reset();
    try {
        if (!asset) {
            asset = MediaAsset::load(path);
            std::lock_guard lock(mutex_);
            assets_.emplace(path, *asset);
        }
        slot->decoder = std::make_unique<VideoDecoder>(std::move(*asset));
    } catch (...) {
        std::lock_guard lock(mutex_);
        slots_.remove_if([&](const Slot& each) { return &each == slot; });
        throw;
    }
    return slot;
}

// The insert's decoder brought to the insert's first frame.
SourceDecoders::Slot* SourceDecoders::prepare(int insert)
{
    Slot* slot = take(insert);
    try {
        slot->decoder->frameAt(firstSourceTime(insert));
    } catch (...) {
        release(slot);
        throw;
    }
    return slot;
}

void SourceDecoders::release(Slot* slot)
{
    if (!slot) return;
    std::lock_guard lock(mutex_);
    slot->busy = false;
}

// Prepares the insert shown after `after` on a thread of its own, unless the
// decoder in use goes on into it without a seek.
void SourceDecoders::startPreparing(int after)
{
    const std::vector<CompositionInsert>& inserts = composition_.video;
    const CompositionInsert& current = inserts[size_t(after)];
    const int next = insertCovering(inserts, current.outputTime + current.sourceRange.duration);
    if (next < 0 || next == after || goesOnInto(after, next)) return;
    preparing_ = next;
    prepared_ = std::async(std::launch::async, [this, next] { return prepare(next); });
}

// A preparation for an insert that is not asked for after all: its decoder
// goes back among the idle ones. Its failure, if any, belongs to that insert
// and comes again if the insert is asked for.
void SourceDecoders::dropPreparation()
{
    if (!prepared_.valid()) return;
    preparing_ = -1;
    try {
        release(prepared_.get());
    } catch (...) { }
}

// Whether insert `to` follows `from` in the same file close enough that the
// decoder of `from` decodes on into it rather than seeking.
bool SourceDecoders::goesOnInto(int from, int to) const
{
    const CompositionInsert& a = composition_.video[size_t(from)];
    const CompositionInsert& b = composition_.video[size_t(to)];
    if (a.assetPath != b.assetPath || !currentSlot_) return false;
    const MediaTime end = a.sourceRange.start + a.sourceRange.duration;
    if (b.sourceRange.start < end) return false;
    const std::optional<MediaTime> key = currentSlot_->decoder->keyFrameAtOrBefore(b.sourceRange.start);
    return key && *key <= end;
}

// The source time of the insert's first output frame.
MediaTime SourceDecoders::firstSourceTime(int insert) const
{
    const CompositionInsert& in = composition_.video[size_t(insert)];
    const MediaTime& frame = composition_.frameDuration;
    const __int128 num = __int128(in.outputTime.value) * frame.timeScale;
    const __int128 den = __int128(frame.value) * in.outputTime.timeScale;
    const int64_t first = num <= 0 ? 0 : int64_t((num + den - 1) / den);
    return in.sourceRange.start + (frame * first - in.outputTime);
}

} // namespace zanto::media
