#include "marks/SoccerCompositor.h"

#include "marks/GXLEngine.h"
#include "marks/OrganizerMarkDrawing.h"
#include "services/ExportFailure.h"

#include <QPainter>
#include <QTransform>

#include <future>
#include <pthread.h>

namespace zanto {

namespace {

// Standing layers kept: one or two for the segment the compose threads are
// on (a picture-wide one holds some five megabytes of YUV tables once the
// export has laid it); at a segment's end the few frames on either side may
// draw one again.
constexpr size_t kStandingKept = 2;

} // namespace

SoccerCompositor::SoccerCompositor(std::vector<SoccerInstruction> instructions, MarkLayers layers,
                                   std::vector<bool> stills)
    : instructions_(std::move(instructions)), layers_(layers), stills_(std::move(stills))
{ }

SoccerCompositor::~SoccerCompositor()
{
    {
        std::lock_guard guard(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    // Nothing else calls in any more, so worker_ no longer changes.
    if (worker_.joinable()) worker_.join();
}

void SoccerCompositor::run()
{
    for (;;) {
        std::function<void()> work;
        {
            std::unique_lock guard(mutex_);
            wake_.wait(guard, [this] { return stopping_ || !jobs_.empty(); });
            // Requests queued before the end are still finished.
            if (jobs_.empty()) return;
            work = std::move(jobs_.front());
            jobs_.pop_front();
        }
        work();
    }
}

void SoccerCompositor::enqueue(std::function<void()> work)
{
    {
        std::lock_guard guard(mutex_);
        jobs_.push_back(std::move(work));
        if (!worker_.joinable()) {
            worker_ = std::thread([this] { run(); });
            // Thread names hold 15 characters; the label's start is enough to spot it.
            pthread_setname_np(worker_.native_handle(), std::string(queueLabel).substr(0, 15).c_str());
        }
    }
    wake_.notify_one();
}

void SoccerCompositor::startRequest(const CompositorRequest& request, Finish finish)
{
    // The frame is shared, not copied; the request itself may go away at once.
    startRender(request.sourceFrame, request.outputTime, request.instructionIndex, std::move(finish));
}

void SoccerCompositor::startRender(QImage source, const MediaTime& time, int index, Finish finish)
{
    enqueue([this, source = std::move(source), time, index, finish = std::move(finish)]() mutable {
        QImage frame;
        std::exception_ptr error;
        try {
            frame = render(std::move(source), time, index);
        } catch (...) {
            error = std::current_exception();
        }
        finish(std::move(frame), error);
    });
}

void SoccerCompositor::cancelAllPendingVideoCompositionRequests()
{
    // Shared, so the promise outlives the queue's last touch of it.
    auto drained = std::make_shared<std::promise<void>>();
    std::future<void> done = drained->get_future();
    enqueue([drained] { drained->set_value(); });
    done.wait();
}

QImage SoccerCompositor::compose(const CompositorRequest& request)
{
    auto result = std::make_shared<std::promise<QImage>>();
    std::future<QImage> frame = result->get_future();
    // A frame handed over is drawn on where it lies instead of on a copy.
    QImage source = request.handedOver ? std::move(*request.handedOver) : request.sourceFrame;
    startRender(std::move(source), request.outputTime, request.instructionIndex,
                [result](QImage image, std::exception_ptr error) {
                    if (error)
                        result->set_exception(error);
                    else
                        result->set_value(std::move(image));
                });
    return frame.get();
}

// One request's work: the source frame placed over black, then the marks.
QImage SoccerCompositor::render(QImage source, const MediaTime& time, int instructionIndex) const
{
    if (instructionIndex < 0 || size_t(instructionIndex) >= instructions_.size() || source.isNull())
        throw failure("映像フレームを取得できません。");
    const SoccerInstruction& instruction = instructions_[size_t(instructionIndex)];
    const AffineTransform& t = instruction.transform;
    // A frame the export has already placed on the canvas is used as it is.
    const bool placed = t == AffineTransform::identity() && source.size() == QSize(markCanvasWidth, markCanvasHeight)
                        && source.format() == pixelFormat;
    QImage background = placed ? std::move(source) : QImage(markCanvasWidth, markCanvasHeight, pixelFormat);
    if (background.isNull()) throw failure("元映像を変換できません。");
    if (!placed) {
        // Opaque black under the frame: bars stay black in the export, never clear.
        background.fill(Qt::black);
        // The placement is built with the origin at the top left, as the
        // frame lies in memory, so it is applied as it is: upright.
        QPainter painter(&background);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.setTransform(QTransform(t.a, t.b, t.c, t.d, t.tx, t.ty));
        painter.drawImage(QPointF(0, 0), source);
        if (!painter.end()) throw failure("元映像を変換できません。");
    }
    // Each segment's marks start their animation at its first frame.
    const double seconds = (time - instruction.timeRange.start).seconds();
    return soccerFrame(instruction.marks, std::move(background), seconds);
}

SoccerCompositor::Canvas& SoccerCompositor::claimCanvas()
{
    Canvas* free = nullptr;
    {
        std::lock_guard guard(overlayLock_);
        for (Canvas& canvas : canvases_)
            if (!canvas.claimed && canvas.picture.isDetached()) {
                free = &canvas;
                break;
            }
        if (!free) free = &canvases_.emplace_back();
        free->claimed = true;
    }
    if (free->picture.isNull()) {
        free->picture = transparentMarkCanvas();
    } else {
        QPainter painter(&free->picture);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(free->drawn, Qt::transparent);
    }
    free->drawn = QRect();
    return *free;
}

QRect SoccerCompositor::plainArea(int index)
{
    std::lock_guard guard(overlayLock_);
    plainAreas_.resize(instructions_.size());
    std::optional<QRect>& area = plainAreas_[size_t(index)];
    if (!area) area = plainMarksArea(instructions_[size_t(index)].marks);
    return *area;
}

// The marks of a frame, a layer for each run of marks that stand or move alike.
CompositorOverlay SoccerCompositor::drawOver(const OverlayRequest& request)
{
    const int index = request.instructionIndex;
    if (index < 0 || size_t(index) >= instructions_.size()) throw failure("映像フレームを取得できません。");
    const SoccerInstruction& instruction = instructions_[size_t(index)];
    const std::vector<OrganizerMark>& marks = instruction.marks;
    // Each segment's marks start their animation at its first frame.
    const double seconds = (request.outputTime - instruction.timeRange.start).seconds();
    if (layers_ == MarkLayers::Whole) return {{movingLayer(marks, request, seconds, plainArea(index))}};
    std::vector<std::optional<std::string>> poses;
    for (const OrganizerMark& mark : marks) poses.push_back(soccerStandingPose(mark, seconds, isStill(index)));
    CompositorOverlay overlay;
    for (size_t first = 0, end = 0; first < marks.size(); first = end) {
        std::string pose;
        for (end = first; end < marks.size() && poses[end].has_value() == poses[first].has_value(); ++end)
            pose += poses[end].value_or("");
        if (poses[first])
            overlay.layers.push_back(standingLayer(index, first, end, std::move(pose), seconds, request));
        else
            overlay.layers.push_back(
                movingLayer({marks.begin() + std::ptrdiff_t(first), marks.begin() + std::ptrdiff_t(end)}, request,
                            seconds, QRect()));
    }
    return overlay;
}

// Marks drawn for this frame alone, on a canvas of the pool.
CompositorLayer SoccerCompositor::movingLayer(const std::vector<OrganizerMark>& marks, const OverlayRequest& request,
                                              double seconds, const QRect& plain)
{
    Canvas& canvas = claimCanvas();
    struct Release {
        SoccerCompositor& owner;
        Canvas& canvas;
        ~Release()
        {
            std::lock_guard guard(owner.overlayLock_);
            canvas.claimed = false;
        }
    } release{*this, canvas};
    if (canvas.picture.isNull()) throw failure("描画を合成できません。");
    canvas.drawn = canvas.picture.rect(); // all of it to clear, should drawing fail half way
    canvas.drawn = soccerOverlay(canvas.picture, marks, request.sourceArea, request.sourceRect, seconds, plain);
    return CompositorLayer{canvas.picture, canvas.drawn};
}

// Marks that stand still, drawn the first time a frame of the segment shows
// them at this pose and handed over again for every later one. They key to
// no turf, and need no frame, but on a still, whose every frame is the one
// picture the request brings.
CompositorLayer SoccerCompositor::standingLayer(int index, size_t first, size_t end, std::string pose, double seconds,
                                                const OverlayRequest& request)
{
    std::shared_ptr<Standing> layer;
    {
        std::lock_guard guard(standingLock_);
        for (const auto& kept : standing_)
            if (kept->index == index && kept->first == first && kept->pose == pose) layer = kept;
        if (!layer) {
            layer = std::make_shared<Standing>();
            layer->index = index;
            layer->first = first;
            layer->pose = std::move(pose);
            standing_.push_front(layer);
            if (standing_.size() > kStandingKept) standing_.pop_back();
        }
    }
    // A second thread wanting the same layer waits for the first one's.
    std::lock_guard drawing(layer->drawing);
    if (!layer->picture) {
        QImage canvas = transparentMarkCanvas();
        if (canvas.isNull()) throw failure("描画を合成できません。");
        const std::vector<OrganizerMark>& marks = instructions_[size_t(index)].marks;
        const bool still = isStill(index);
        soccerOverlay(canvas, {marks.begin() + std::ptrdiff_t(first), marks.begin() + std::ptrdiff_t(end)},
                      still ? request.sourceArea : QImage(), still ? request.sourceRect : QRect(), seconds, QRect());
        layer->picture = std::make_shared<StandingPicture>(std::move(canvas));
    }
    return CompositorLayer{QImage(), QRect(0, 0, markCanvasWidth, markCanvasHeight), layer->picture};
}

OverlayCompositor SoccerCompositor::overlayCompositor(std::vector<SoccerInstruction> instructions, MarkLayers layers,
                                                      std::vector<bool> stills)
{
    auto compositor = std::make_shared<SoccerCompositor>(std::move(instructions), layers, std::move(stills));
    auto sourceArea = [compositor](const MediaTime& time, int index) {
        if (index < 0 || size_t(index) >= compositor->instructions().size()) return QRect();
        const SoccerInstruction& instruction = compositor->instructions()[size_t(index)];
        return soccerSourceArea(instruction.marks, (time - instruction.timeRange.start).seconds());
    };
    return {sourceArea, [compositor](const OverlayRequest& request) { return compositor->drawOver(request); }};
}

CompositorCallback SoccerCompositor::callback(std::vector<SoccerInstruction> instructions)
{
    // The composition export hands over frames already placed on the canvas
    // by its own instructions: the compositor only draws the marks.
    for (SoccerInstruction& instruction : instructions) instruction.transform = AffineTransform::identity();
    auto compositor = std::make_shared<SoccerCompositor>(std::move(instructions));
    return [compositor](const CompositorRequest& request) { return compositor->compose(request); };
}

void SoccerCompositor::install(Composition& composition, std::vector<SoccerInstruction> instructions)
{
    composition.instructions.clear();
    for (const SoccerInstruction& instruction : instructions)
        composition.instructions.push_back({instruction.timeRange, instruction.transform});
    composition.compositor = callback(std::move(instructions));
}

} // namespace zanto
