#pragma once
// The custom compositor of telestration exports. For every output frame it
// places the segment's source frame on the 1280 x 720 canvas over opaque
// black, exactly as the plain export path does, and draws the segment's marks
// over it with soccerFrame at the time since the segment began.
//
// Threads: every frame request runs on the compositor's own serial queue, a
// worker thread labelled "zanto.soccer.render" that the first request starts,
// one after another in arrival order; a compositor that only draws overlays
// starts none. startRequest, cancelAllPendingVideoCompositionRequests and
// compose may be called from any thread. GPU work inside a frame takes the
// frame engine's lock, which the Organizer's preview shares. The compositor
// takes no lock over its instructions: they never change after construction.

#include "marks/SoccerInstruction.h"
#include "platform/media/Composition.h"

#include <QImage>

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zanto {

// How the overlay compositor draws the marks of a frame.
enum class MarkLayers {
    // What stands still (plain marks, and telestration marks that follow no
    // clock and key to no turf, or key to the turf of a still) is drawn once
    // for a segment and handed over as standing layers; only what moves is
    // drawn for each frame.
    Split,
    // Every frame's marks drawn whole on one canvas: the same pixels but for
    // the rounding of blending the layers one by one, more slowly. A reference.
    Whole,
};

class SoccerCompositor {
public:
    static constexpr const char* queueLabel = "zanto.soccer.render";
    // What the compositor takes and gives: premultiplied B, G, R, A.
    static constexpr QImage::Format pixelFormat = QImage::Format_ARGB32_Premultiplied;

    // Ends a request: a frame, or a null image with the error. It runs on the
    // queue's thread and must not throw.
    using Finish = std::function<void(QImage frame, std::exception_ptr error)>;

    // `instructions` run parallel to the composition's instructions: a
    // request's instructionIndex picks its segment. `stills` says, segment by
    // segment, whether every frame it shows is one same picture (a slide's):
    // missing entries say no.
    explicit SoccerCompositor(std::vector<SoccerInstruction> instructions, MarkLayers layers = MarkLayers::Split,
                              std::vector<bool> stills = {});
    // Finishes every queued request, then ends the queue's thread.
    ~SoccerCompositor();
    SoccerCompositor(const SoccerCompositor&) = delete;
    SoccerCompositor& operator=(const SoccerCompositor&) = delete;

    const std::vector<SoccerInstruction>& instructions() const { return instructions_; }

    // Queues one frame request and returns at once. `finish` runs exactly once,
    // on the queue, with the finished frame or with the error: ExportFailure
    // "映像フレームを取得できません。" (no such segment, no source frame),
    // "元映像を変換できません。" (the placed frame cannot be made), or what
    // soccerFrame threw, unchanged. A failed request does not disturb later ones.
    void startRequest(const CompositorRequest& request, Finish finish);

    // Returns once every request queued before the call has been finished.
    // Cancels nothing and drops nothing.
    void cancelAllPendingVideoCompositionRequests();

    // The media layer's compositor callback: queues the request, waits for
    // it and returns its frame or rethrows its error.
    QImage compose(const CompositorRequest& request);

    // A media-layer callback that draws through a new compositor, which the
    // callback (and every copy of it) keeps alive. The composition's
    // instructions must run parallel to `instructions` and place the frames
    // (the media layer hands them over placed); the compositor draws marks.
    static CompositorCallback callback(std::vector<SoccerInstruction> instructions);

    // The same as an overlay compositor: the frames stay with the media
    // layer, which hands over only the part the ground tools key to; the
    // compositor draws the marks alone over transparent canvases, layer by
    // layer as `layers` says, and gives the part drawn on. Those draws run on
    // the callers' threads, several at once: only their GPU work takes turns,
    // under the frame engine's lock.
    static OverlayCompositor overlayCompositor(std::vector<SoccerInstruction> instructions,
                                               MarkLayers layers = MarkLayers::Split, std::vector<bool> stills = {});

    // Makes a composition draw through a new compositor: one composition
    // instruction per segment (its range and placement) and callback().
    static void install(Composition& composition, std::vector<SoccerInstruction> instructions);

private:
    // A transparent canvas the marks of one frame are drawn onto, and the
    // part of it drawn on last.
    struct Canvas {
        QImage picture;
        QRect drawn;
        bool claimed = false;
    };
    // One standing layer of one segment: marks first to end - 1 at one pose.
    struct Standing {
        int index = -1;
        size_t first = 0;
        std::string pose;
        std::mutex drawing; // held while `picture` is drawn, and guards it
        std::shared_ptr<StandingPicture> picture;
    };
    CompositorOverlay drawOver(const OverlayRequest& request);
    CompositorLayer movingLayer(const std::vector<OrganizerMark>& marks, const OverlayRequest& request, double seconds,
                                const QRect& plain);
    CompositorLayer standingLayer(int index, size_t first, size_t end, std::string pose, double seconds,
                                  const OverlayRequest& request);
    bool isStill(int index) const { return size_t(index) < stills_.size() && stills_[size_t(index)]; }
    Canvas& claimCanvas();
    QRect plainArea(int index);

    void startRender(QImage source, const MediaTime& time, int index, Finish finish);
    QImage render(QImage source, const MediaTime& time, int instructionIndex) const;
    void enqueue(std::function<void()> work);
    void run();

    const std::vector<SoccerInstruction> instructions_;
    const MarkLayers layers_;
    const std::vector<bool> stills_;

    // Guards jobs_, stopping_ and the start of worker_; the worker waits on wake_.
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    // Guards canvases_ (each in use while claimed or while the media layer
    // holds its picture) and plainAreas_ (the part each segment's plain
    // marks draw in, worked out once).
    std::mutex overlayLock_;
    std::list<Canvas> canvases_;
    std::vector<std::optional<QRect>> plainAreas_;
    // Guards standing_: the standing layers drawn last, the newest first.
    std::mutex standingLock_;
    std::deque<std::shared_ptr<Standing>> standing_;
    std::thread worker_;
};

} // namespace zanto
