#pragma once
// The two first stages of a composition export: finding the source frame of
// each output frame and placing it on the output canvas (decode thread), and
// finishing the output frame: overlays and the custom compositor (compose
// threads). Inside the media layer only; each object belongs to one thread.
//
// Frames stay in YUV from the decoder to the encoder; they are scaled once,
// straight to their placed size, before they are queued, so what waits in
// the queues is sized by the output, never by the source.
#include "platform/media/Composition.h"
#include "platform/media/FrameConverter.h"
#include "platform/media/FramePool.h"
#include "platform/media/MediaOwners.h"
#include "platform/media/SourceDecoders.h"
#include "platform/media/YuvOverlay.h"

#include <functional>
#include <memory>
#include <mutex>

namespace zanto::media {

class VideoDecoder;

// An overlay picture, made the first time a frame of its stretch needs it
// (on whichever compose thread gets there first) and freed when the last
// frame holding it is done.
class StretchOverlay {
public:
    explicit StretchOverlay(const CompositionOverlay& overlay) : overlay_(overlay) { }
    const YuvOverlay& picture(int width, int height);

private:
    const CompositionOverlay& overlay_;
    std::once_flag made_;
    std::unique_ptr<YuvOverlay> picture_;
};

// One output frame on its way through the pipeline.
struct FrameJob {
    int64_t index = 0;
    MediaTime time;
    // The source frame placed on the output canvas over black (yuv420p, the
    // output size). Shared with other jobs while one source frame stays on
    // show: it is only read.
    FramePtr picture;
    // The same for every job sharing one placed picture; -1 for black.
    int64_t pictureSerial = -1;
    bool hasSource = false; // false: no insert covers the time, the picture is black
    int instruction = -1;   // index into the composition's instructions, -1 for none
    // The frame's place among those the custom compositor draws (0, 1, ...);
    // -1 when it takes the plain road.
    int64_t compositorTurn = -1;
    std::vector<std::shared_ptr<StretchOverlay>> overlays; // shown on this frame, in order
};

class SourceFrames {
public:
    // `pool` holds output-sized frames; it outlives every frame it gives.
    SourceFrames(const Composition& composition, FramePool& pool);
    ~SourceFrames();
    // The job for output frame `index`, its picture placed. Throws MediaError
    // when a source cannot be read, or when its data ends more than 0.04 s
    // before the time shown (a file cut short).
    FrameJob job(int64_t index);

private:
    int insertAt(const MediaTime& time);
    int instructionAt(const MediaTime& time);
    FramePtr place(const AVFrame* frame, VideoDecoder& source, int instruction);
    FramePtr placeTurned(const AVFrame* frame, const VideoDecoder& source, const AffineTransform& transform);
    std::vector<std::shared_ptr<StretchOverlay>> overlaysAt(const MediaTime& time);
    FramePtr shared(const FramePtr& frame) const;
    bool usesCompositor(int instruction) const;

    const Composition& composition_;
    SourceDecoders decoders_;
    int insertHint_ = 0;
    int instructionHint_ = 0;
    FrameConverter converter_;
    FrameConverter canvasConverter_;
    // The placed pictures; they go on to the encoder and come back.
    FramePool& pool_;
    // The last placed picture, reused while the same source frame stays on
    // show (held frames, stills): the same file, frame time and instruction.
    // Holding no reference to the source frame leaves the decoder's memory free.
    FramePtr lastPicture_;
    int64_t lastSerial_ = -1;
    std::filesystem::path lastPath_;
    MediaTime lastSourceTime_;
    int lastInstruction_ = -2;
    FramePtr black_;
    std::vector<std::shared_ptr<StretchOverlay>> liveOverlays_; // parallel to composition_.overlays
    int64_t compositorTurns_ = 0;
};

class FrameComposer {
public:
    FrameComposer(const Composition& composition, FramePool& pool);
    // Runs a call to the custom compositor at the job's turn, so that it sees
    // one frame at a time, in output order, whichever thread composes it.
    using InTurn = std::function<void(int64_t turn, const std::function<void()>& call)>;

    // The finished yuv420p output frame of a job.
    FramePtr compose(FrameJob& job, const InTurn& inTurn);

private:
    FramePtr redraw(FrameJob& job, const InTurn& inTurn);
    FramePtr drawOver(FrameJob& job);
    void ownPicture(FrameJob& job);

    const Composition& composition_;
    // Copies of shared pictures to draw on.
    FramePool& pool_;
    // The part of a shared picture last read for the overlay compositor: a
    // still shows one picture on all of its frames.
    QImage readArea_;
    QRect readRect_;
    int64_t readSerial_ = -1;
    FrameConverter converter_;
    FrameConverter outputConverter_;
};

} // namespace zanto::media
