#include "marks/SoccerCompositor.h"

#include "marks/GXLEngine.h"
#include "marks/OrganizerMarkDrawing.h"
#include "services/ExportFailure.h"

#include <QPainter>
#include <QTransform>

#include <future>
#include <pthread.h>

namespace zanto {

SoccerCompositor::SoccerCompositor(std::vector<SoccerInstruction> instructions) : instructions_(std::move(instructions))
{
    worker_ = std::thread([this] { run(); });
    // Thread names hold 15 characters; the label's start is enough to spot it.
    pthread_setname_np(worker_.native_handle(), std::string(queueLabel).substr(0, 15).c_str());
}

SoccerCompositor::~SoccerCompositor()
{
    {
        std::lock_guard guard(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    worker_.join();
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
        free->picture = QImage(markCanvasWidth, markCanvasHeight, pixelFormat);
        free->picture.fill(Qt::transparent);
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

CompositorOverlay SoccerCompositor::drawOver(const OverlayRequest& request)
{
    const int index = request.instructionIndex;
    if (index < 0 || size_t(index) >= instructions_.size()) throw failure("映像フレームを取得できません。");
    const SoccerInstruction& instruction = instructions_[size_t(index)];
    const QRect plain = plainArea(index);
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
    // Each segment's marks start their animation at its first frame.
    const double seconds = (request.outputTime - instruction.timeRange.start).seconds();
    canvas.drawn = canvas.picture.rect(); // all of it to clear, should drawing fail half way
    canvas.drawn =
        soccerOverlay(canvas.picture, instruction.marks, request.sourceArea, request.sourceRect, seconds, plain);
    return CompositorOverlay{canvas.picture, canvas.drawn};
}

OverlayCompositor SoccerCompositor::overlayCompositor(std::vector<SoccerInstruction> instructions)
{
    auto compositor = std::make_shared<SoccerCompositor>(std::move(instructions));
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
