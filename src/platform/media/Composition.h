#pragma once
// What a composition export is asked to make: the tracks built from inserted
// ranges of files, the instructions that place their frames, the overlays and
// the custom compositor. Plain values, any thread; the export job, its frame
// stages and the sound mixer all read them.
#include "platform/media/AffineTransform.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaTime.h"
#include "platform/media/MovieContainer.h"
#include "platform/media/StandingPicture.h"

#include <QImage>
#include <QRect>

#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <vector>

namespace zanto {

// A range of one file's track placed on the composition's timeline.
struct CompositionInsert {
    std::filesystem::path assetPath;
    MediaTimeRange sourceRange; // in the file's time, its first presentation time being zero
    MediaTime outputTime;       // where the range starts in the output

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
    QImage image; // premultiplied; the output size (scaled to it otherwise)
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
    int instructionIndex; // into Composition::instructions
    const CompositionInstruction& instruction;
    // When set, the very picture sourceFrame refers to, handed over: the
    // compositor may take it and draw on it rather than on a copy.
    QImage* handedOver = nullptr;
};
// Returns the finished frame at the output size. Called on the export's
// compose thread, one frame at a time, in output order. An exception fails the
// export and is kept as its error (rethrown unchanged by `run`).
using CompositorCallback = std::function<QImage(const CompositorRequest&)>;

// One picture an overlay compositor lays over an output frame: premultiplied,
// of the output size, transparent outside `rect`, laid over what lies below
// (source-over).
struct CompositorLayer {
    QImage picture;
    QRect rect;
    // When set, the layer is this picture instead, handed over again for
    // other frames: it is brought into YUV once and blended from there, and
    // `picture` is not looked at. Any other layer is drawn for this frame
    // alone and looked at only within `rect`.
    std::shared_ptr<StandingPicture> standing;
};

// What an overlay compositor draws over one output frame: its layers, laid
// over the placed frame in turn.
struct CompositorOverlay {
    std::vector<CompositorLayer> layers;
};

// What an overlay compositor gets for one output frame: the part of the
// placed frame it asked to read (opaque premultiplied BGRA, lying at
// `sourceRect` on the output canvas); null when it asked for none or no
// insert covers the time.
struct OverlayRequest {
    MediaTime outputTime;
    int instructionIndex; // into Composition::instructions
    const QImage& sourceArea;
    QRect sourceRect;
};

// A compositor that draws over the frames instead of redrawing them whole:
// the frames stay in YUV, only the part it reads is converted for it and only
// the part it draws is blended in.
struct OverlayCompositor {
    // The part of the placed frame `draw` reads at this time; empty for none.
    // Called on any compose thread, in any order.
    std::function<QRect(const MediaTime& outputTime, int instructionIndex)> sourceArea;
    // Called on the compose threads, several frames at once and in any order;
    // an exception fails the export, as CompositorCallback's does.
    std::function<CompositorOverlay(const OverlayRequest&)> draw;

    explicit operator bool() const { return bool(draw); }
};

// What a caller already knows of an inserted file, so the export does not
// probe it again before it starts. A file still being written comes with
// `written`: the export reads it only once that is ready, and fails with what
// it throws; `asset` then says what the file will hold.
struct KnownSource {
    MediaAsset asset;
    std::shared_future<void> written; // not valid: the file is complete
};

// One video and one audio track built from inserted ranges, and how to draw
// them. Frames are made at every multiple of `frameDuration` below `duration`.
struct Composition {
    std::vector<CompositionInsert> video;
    std::vector<CompositionInsert> audio; // no inserts: the output has no audio stream
    std::vector<CompositionInstruction> instructions;
    std::vector<CompositionOverlay> overlays; // on frames the compositor does not draw
    CompositorCallback compositor;            // when set, draws the frames of instructions that use it
    OverlayCompositor overlayCompositor;      // else, when set, draws over them
    std::map<std::filesystem::path, KnownSource> known;
    MediaTime duration;
    int width = 1280;
    int height = 720;
    MediaTime frameDuration{1, 30};
    MovieContainer container = MovieContainer::MP4;
};

// Frames a composition makes: ceil(duration / frameDuration).
int64_t compositionFrameCount(const Composition& composition);

} // namespace zanto
