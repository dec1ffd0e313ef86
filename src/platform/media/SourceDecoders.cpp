#include "platform/media/SourceDecoders.h"

#include "platform/media/StandingBack.h"
#include "platform/media/VideoDecoder.h"

#include <algorithm>
#include <iterator>
#include <system_error>

namespace zanto::media {

int insertCovering(const std::vector<CompositionInsert>& inserts, const MediaTime& time)
{
    for (int i = int(inserts.size()) - 1; i >= 0; --i) {
        const CompositionInsert& insert = inserts[size_t(i)];
        if (time >= insert.outputTime && time < insert.outputTime + insert.sourceRange.duration) return i;
    }
    return -1;
}

SourceDecoders::SourceDecoders(const Composition& composition) : composition_(composition)
{
    for (const CompositionInsert& insert : composition.video) {
        const MediaTime end = insert.outputTime + insert.sourceRange.duration;
        auto [known, added] = lastShown_.emplace(insert.assetPath, end);
        if (!added && known->second < end) known->second = end;
    }
}

SourceDecoders::~SourceDecoders()
{
    dropPreparations(coming_.size());
}

size_t SourceDecoders::openCount() const
{
    std::lock_guard lock(mutex_);
    return slots_.size();
}

VideoDecoder& SourceDecoders::decoder(int insert)
{
    if (insert == current_ && currentSlot_) return *currentSlot_->decoder;
    Slot* slot = claimPrepared(insert);
    release(currentSlot_);
    currentSlot_ = nullptr;
    current_ = -1;
    if (!slot) {
        std::unique_ptr<VideoDecoder> evicted;
        slot = reserve(insert, &evicted);
        evicted.reset();
        open(slot);
    }
    currentSlot_ = slot;
    current_ = insert;
    startPreparing(insert);
    closeSpent(insert);
    return *slot->decoder;
}

// Closes the idle decoders of files that show nothing after `current`: near
// a playlist's end their pictures would stay held while the encoder drains.
void SourceDecoders::closeSpent(int current)
{
    const CompositionInsert& in = composition_.video[size_t(current)];
    const MediaTime end = in.outputTime + in.sourceRange.duration;
    std::vector<std::unique_ptr<VideoDecoder>> spent; // closed once the lock is let go
    {
        std::lock_guard lock(mutex_);
        slots_.remove_if([&](Slot& each) {
            if (each.busy || lastShown_.at(each.path) > end) return false;
            spent.push_back(std::move(each.decoder));
            return true;
        });
    }
}

// The decoder prepared for `insert`, once it is ready, or null when none was
// (nor will be: the preparations for what came before it are let go too).
// Asked for out of turn, every preparation is let go.
SourceDecoders::Slot* SourceDecoders::claimPrepared(int insert)
{
    const auto found =
        std::find_if(coming_.begin(), coming_.end(), [&](const Preparation& p) { return p.insert == insert; });
    if (found == coming_.end()) {
        dropPreparations(coming_.size());
        return nullptr;
    }
    dropPreparations(size_t(found - coming_.begin()));
    Preparation claimed = std::move(coming_.front());
    coming_.erase(coming_.begin());
    if (claimed.slot) claimed.done.get();
    return claimed.slot;
}

// A slot for the insert's file for the caller alone: the idle one used last,
// else a new one, in place of the least recently used idle one when as many
// are open as may be (its decoder is handed over in `evicted`, to be closed
// outside the lock). Null when every open decoder is busy.
SourceDecoders::Slot* SourceDecoders::reserve(int insert, std::unique_ptr<VideoDecoder>* evicted)
{
    const std::filesystem::path& path = composition_.video[size_t(insert)].assetPath;
    std::lock_guard lock(mutex_);
    Slot* same = nullptr;
    Slot* oldest = nullptr;
    for (Slot& each : slots_) {
        if (each.busy) continue;
        if (each.path == path && (!same || each.lastUse > same->lastUse)) same = &each;
        if (!oldest || each.lastUse < oldest->lastUse) oldest = &each;
    }
    if (same) {
        same->busy = true;
        same->lastUse = ++uses_;
        return same;
    }
    if (slots_.size() >= kOpenDecoders) {
        if (!oldest) return nullptr;
        *evicted = std::move(oldest->decoder);
        slots_.remove_if([&](const Slot& each) { return &each == oldest; });
    }
    return &slots_.emplace_back(Slot{path, nullptr, true, ++uses_});
}

// Opens the decoder of a reserved slot, unless it is open, once its file is
// written. On failure the slot is given up.
void SourceDecoders::open(Slot* slot)
{
    if (slot->decoder) return;
    try {
        if (const auto known = composition_.known.find(slot->path);
            known != composition_.known.end() && known->second.written.valid())
            known->second.written.get();
        std::optional<MediaAsset> asset;
        {
            std::lock_guard lock(mutex_);
            if (auto known = assets_.find(slot->path); known != assets_.end()) asset = known->second;
        }
        if (!asset) {
            asset = MediaAsset::load(slot->path);
            std::lock_guard lock(mutex_);
            assets_.emplace(slot->path, *asset);
        }
        slot->decoder = std::make_unique<VideoDecoder>(std::move(*asset), kDecoderStandsBack);
        std::vector<MediaTime> keys = slot->decoder->keyFrameTimes();
        std::lock_guard lock(mutex_);
        keyFrames_.emplace(slot->path, std::move(keys));
    } catch (...) {
        release(slot);
        throw;
    }
}

// Lets a slot go idle; one whose decoder never opened is closed.
void SourceDecoders::release(Slot* slot)
{
    if (!slot) return;
    std::lock_guard lock(mutex_);
    if (!slot->decoder) {
        slots_.remove_if([&](const Slot& each) { return &each == slot; });
        return;
    }
    slot->busy = false;
    slot->lastUse = ++uses_; // the decoder left last is the one that goes on from there
}

// Prepares the inserts shown after `after`, as far ahead as decoders are
// free. An insert the decoder before it goes on into without a seek needs
// none of its own.
void SourceDecoders::startPreparing(int after)
{
    const std::vector<CompositionInsert>& inserts = composition_.video;
    int from = after;
    for (int ahead = 0; ahead < kPreparedAhead; ++ahead) {
        const CompositionInsert& before = inserts[size_t(from)];
        const int next = insertCovering(inserts, before.outputTime + before.sourceRange.duration);
        if (next < 0 || next == from) return;
        const bool known =
            std::any_of(coming_.begin(), coming_.end(), [&](const Preparation& p) { return p.insert == next; });
        if (!known) {
            if (goesOnInto(from, next)) {
                coming_.push_back(Preparation{next, nullptr, {}});
            } else {
                std::unique_ptr<VideoDecoder> evicted;
                Slot* slot = reserve(next, &evicted);
                if (!slot) return;
                std::future<void> done;
                try {
                    done = std::async(std::launch::async, [this, next, slot, old = std::move(evicted)]() mutable {
                        prepare(next, slot, std::move(old));
                    });
                } catch (const std::system_error&) {
                    // No thread to prepare on: the insert is opened when it
                    // is asked for, only without the look-ahead.
                    release(slot);
                    return;
                }
                coming_.push_back(Preparation{next, slot, std::move(done)});
            }
        }
        from = next;
    }
}

// On a preparation's own thread: the decoder it takes over from closed, its
// own opened and brought to the insert's first frame.
void SourceDecoders::prepare(int insert, Slot* slot, std::unique_ptr<VideoDecoder> evicted)
{
    evicted.reset();
    open(slot);
    try {
        slot->decoder->frameAt(firstSourceTime(insert));
    } catch (...) {
        release(slot);
        throw;
    }
}

// The first `count` inserts coming up are not asked for after all: their
// decoders go back among the idle ones. A failure belongs to the insert it
// was met for and comes again if that insert is asked for.
void SourceDecoders::dropPreparations(size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        Preparation& dropped = coming_[i];
        if (!dropped.slot) continue;
        try {
            dropped.done.get();
            release(dropped.slot);
        } catch (...) { }
    }
    coming_.erase(coming_.begin(), coming_.begin() + std::ptrdiff_t(count));
}

// Whether insert `to` follows `from` in the same file close enough that the
// decoder of `from` decodes on into it rather than seeking: no key frame
// lies between the end of `from` and the start of `to`.
bool SourceDecoders::goesOnInto(int from, int to) const
{
    const CompositionInsert& a = composition_.video[size_t(from)];
    const CompositionInsert& b = composition_.video[size_t(to)];
    if (a.assetPath != b.assetPath) return false;
    const MediaTime end = a.sourceRange.start + a.sourceRange.duration;
    if (b.sourceRange.start < end) return false;
    std::lock_guard lock(mutex_);
    const auto keys = keyFrames_.find(a.assetPath);
    if (keys == keyFrames_.end()) return false;
    const auto after = std::upper_bound(keys->second.begin(), keys->second.end(), b.sourceRange.start);
    return after != keys->second.begin() && *std::prev(after) <= end;
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
