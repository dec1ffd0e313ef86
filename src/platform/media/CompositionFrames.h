#pragma once
// The two first stages of a composition export: finding the source frame of
// each output frame (decode thread) and drawing the output frame (compose
// thread). Inside the media layer only; each object belongs to one thread.
#include "platform/media/CompositionExport.h"
#include "platform/media/FrameConverter.h"
#include "platform/media/MediaOwners.h"

#include <list>
#include <memory>

namespace zanto::media {

class VideoDecoder;

// One output frame on its way through the pipeline.
struct FrameJob {
    int64_t index = 0;
    MediaTime time;
    FramePtr source;  // a reference to the decoded source frame; empty when none
    ColourMatrix matrix = ColourMatrix::BT709;
    int naturalWidth = 0;  // the source track's natural size
    int naturalHeight = 0;
    int instruction = -1;  // index into the composition's instructions, -1 for none
};

class SourceFrames {
public:
    explicit SourceFrames(const Composition& composition);
    ~SourceFrames();
    // The job for output frame `index`, holding the source frame the video
    // track shows then. Throws MediaError when a source cannot be read.
    FrameJob job(int64_t index);

private:
    int insertAt(const MediaTime& time);
    int instructionAt(const MediaTime& time);
    VideoDecoder& decoder(const std::filesystem::path& path);

    const Composition& composition_;
    std::list<std::pair<std::filesystem::path, std::unique_ptr<VideoDecoder>>> decoders_;  // most recent first
    int insertHint_ = 0;
    int instructionHint_ = 0;
};

class FrameComposer {
public:
    explicit FrameComposer(const Composition& composition);
    // The finished yuv420p output frame of a job.
    FramePtr compose(const FrameJob& job);

private:
    FramePtr composeWithCompositor(const FrameJob& job);
    FramePtr composeImage(const FrameJob& job, const std::vector<const CompositionOverlay*>& overlays);
    bool placedRect(const FrameJob& job, PixelRect* rect) const;
    std::vector<const CompositionOverlay*> overlaysAt(const MediaTime& time) const;

    const Composition& composition_;
    FrameConverter converter_;
    FrameConverter outputConverter_;
    // The last plain frame, reused while the same source frame stays on show
    // (held frames, stills). The reference to its source keeps that source's
    // memory from being reused, so comparing data pointers is exact.
    FramePtr lastFrame_;
    FramePtr lastSource_;
    int lastInstruction_ = -2;
};

} // namespace zanto::media
