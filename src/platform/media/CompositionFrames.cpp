#include "platform/media/CompositionFrames.h"

#include "platform/media/MediaError.h"
#include "platform/media/VideoDecoder.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <QPainter>
#include <QTransform>

#include <cmath>
#include <cstdio>

namespace zanto::media {
namespace {

// The output rectangle of an unturned, unflipped placement, when it lies
// wholly on the canvas (swscale then scales straight into the frame).
bool placedRect(const AffineTransform& t, int naturalWidth, int naturalHeight, int width, int height, PixelRect* rect)
{
    if (!t.isAxisAlignedScale()) return false;
    MediaRect r = t.mapRect({0, 0, double(naturalWidth), double(naturalHeight)});
    int x0 = int(std::lround(r.x)), y0 = int(std::lround(r.y));
    int x1 = int(std::lround(r.x + r.width)), y1 = int(std::lround(r.y + r.height));
    if (x0 < 0 || y0 < 0 || x1 > width || y1 > height || x1 - x0 < 2 || y1 - y0 < 2) return false;
    *rect = PixelRect{x0, y0, x1 - x0, y1 - y0};
    return true;
}

std::string secondsText(const MediaTime& time)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", time.seconds());
    return text;
}

} // namespace

const YuvOverlay& StretchOverlay::picture(int width, int height)
{
    std::call_once(made_, [&] {
        QImage image = overlay_.image.isNull() && overlay_.draw ? overlay_.draw() : overlay_.image;
        if (!image.isNull() && image.size() != QSize(width, height))
            image = image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        picture_ = std::make_unique<YuvOverlay>(image);
    });
    return *picture_;
}

SourceFrames::SourceFrames(const Composition& composition, FramePool& pool)
    : composition_(composition), decoders_(composition), pool_(pool), liveOverlays_(composition.overlays.size())
{
    black_ = blackVideoFrame(composition.width, composition.height);
}

SourceFrames::~SourceFrames() = default;

int SourceFrames::insertAt(const MediaTime& time)
{
    const auto& inserts = composition_.video;
    if (insertHint_ < int(inserts.size())) {
        const CompositionInsert& hint = inserts[size_t(insertHint_)];
        if (time >= hint.outputTime && time < hint.outputTime + hint.sourceRange.duration) return insertHint_;
    }
    const int found = insertCovering(inserts, time);
    if (found >= 0) insertHint_ = found;
    return found;
}

int SourceFrames::instructionAt(const MediaTime& time)
{
    const auto& list = composition_.instructions;
    if (instructionHint_ < int(list.size()) && list[size_t(instructionHint_)].timeRange.containsTime(time))
        return instructionHint_;
    for (int i = 0; i < int(list.size()); ++i)
        if (list[size_t(i)].timeRange.containsTime(time)) return instructionHint_ = i;
    return -1;
}

FramePtr SourceFrames::shared(const FramePtr& frame) const
{
    FramePtr copy(av_frame_clone(frame.get()));
    if (!copy) throw MediaError("Cannot hold a video frame: " + mediaErrorText(AVERROR(ENOMEM)));
    return copy;
}

bool SourceFrames::usesCompositor(int instruction) const
{
    return (composition_.compositor || composition_.overlayCompositor) && instruction >= 0
           && composition_.instructions[size_t(instruction)].usesCompositor;
}

// The overlays shown at `time`. A stretch's picture is made for its first
// frame and let go after its last; frames come in time order.
std::vector<std::shared_ptr<StretchOverlay>> SourceFrames::overlaysAt(const MediaTime& time)
{
    std::vector<std::shared_ptr<StretchOverlay>> shown;
    for (size_t i = 0; i < composition_.overlays.size(); ++i) {
        const CompositionOverlay& overlay = composition_.overlays[i];
        if (!overlay.timeRange.containsTime(time)) {
            liveOverlays_[i].reset();
            continue;
        }
        if (overlay.image.isNull() && !overlay.draw) continue;
        if (!liveOverlays_[i]) liveOverlays_[i] = std::make_shared<StretchOverlay>(overlay);
        shown.push_back(liveOverlays_[i]);
    }
    return shown;
}

FrameJob SourceFrames::job(int64_t index)
{
    FrameJob job;
    job.index = index;
    job.time = composition_.frameDuration * index;
    job.instruction = instructionAt(job.time);
    if (usesCompositor(job.instruction))
        job.compositorTurn = compositorTurns_++;
    else
        job.overlays = overlaysAt(job.time);
    int insert = insertAt(job.time);
    if (insert < 0 || job.instruction < 0) {
        job.picture = shared(black_);
        lastInstruction_ = -2;
        return job;
    }
    const CompositionInsert& in = composition_.video[size_t(insert)];
    VideoDecoder& source = decoders_.decoder(insert);
    const MediaTime sourceTime = in.sourceRange.start + (job.time - in.outputTime);
    const AVFrame* frame = source.frameAt(sourceTime);
    // Holding the last picture a little past it is right (clip ranges may end
    // that much after a file); a file whose data stops long before its header
    // says is cut short.
    if (source.heldTooLong(sourceTime))
        throw MediaError("The video of “" + in.assetPath.string() + "” ends before " + secondsText(sourceTime)
                         + ": the file is cut short");
    job.hasSource = true;
    job.picture = place(frame, source, job.instruction);
    job.pictureSerial = lastSerial_;
    return job;
}

// The source frame placed on a black canvas of the output size, scaled once
// straight to its placed size.
FramePtr SourceFrames::place(const AVFrame* frame, VideoDecoder& source, int instruction)
{
    const MediaTime sourceTime = source.frameTime(frame);
    const bool stamped = frame->best_effort_timestamp != AV_NOPTS_VALUE || frame->pts != AV_NOPTS_VALUE;
    if (lastPicture_ && stamped && instruction == lastInstruction_ && sourceTime == lastSourceTime_
        && source.asset().path == lastPath_)
        return shared(lastPicture_);
    const AffineTransform& t = composition_.instructions[size_t(instruction)].transform;
    converter_.setSourceMatrix(source.video().colourMatrix);
    PixelRect rect;
    FramePtr out;
    if (placedRect(t, source.video().width, source.video().height, composition_.width, composition_.height, &rect)) {
        const bool covered = rect.width == composition_.width && rect.height == composition_.height;
        out = pool_.frame(!covered);
        converter_.scaleInto(frame, out.get(), rect);
    } else {
        out = placeTurned(frame, source, t);
    }
    lastPicture_ = shared(out);
    ++lastSerial_;
    lastPath_ = source.asset().path;
    lastSourceTime_ = sourceTime;
    lastInstruction_ = instruction;
    return out;
}

// A turned, flipped or overhanging placement: the frame is first scaled to
// the size it is placed at, then painted with what remains of the transform.
FramePtr SourceFrames::placeTurned(const AVFrame* frame, const VideoDecoder& source, const AffineTransform& t)
{
    const int naturalWidth = source.video().width, naturalHeight = source.video().height;
    const double scale = std::min(1.0, std::sqrt(std::abs(t.a * t.d - t.b * t.c)));
    const int w = std::max(2, int(std::lround(naturalWidth * scale)));
    const int h = std::max(2, int(std::lround(naturalHeight * scale)));
    const QImage picture = converter_.toImage(frame, w, h);
    const AffineTransform rest = AffineTransform::scaling(double(naturalWidth) / w, double(naturalHeight) / h).then(t);
    QImage canvas(composition_.width, composition_.height, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::black);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setTransform(QTransform(rest.a, rest.b, rest.c, rest.d, rest.tx, rest.ty));
        painter.drawImage(0, 0, picture);
    }
    FramePtr out = pool_.frame(false);
    canvasConverter_.imageToFrame(canvas, out.get());
    return out;
}

FrameComposer::FrameComposer(const Composition& composition, FramePool& pool) : composition_(composition), pool_(pool)
{ }

// The picture may be shared with frames before and after (a still shows one
// for all of its frames): it is drawn on a copy from the pool, whose memory
// the system need not map and clear afresh for every frame.
void FrameComposer::ownPicture(FrameJob& job)
{
    AVFrame* picture = job.picture.get();
    if (av_frame_is_writable(picture)) return;
    if (picture->format != AV_PIX_FMT_YUV420P || picture->width != composition_.width
        || picture->height != composition_.height) {
        checkMedia(av_frame_make_writable(picture), "Cannot draw over a video frame");
        return;
    }
    FramePtr copy = pool_.frame(false);
    checkMedia(av_frame_copy(copy.get(), picture), "Cannot draw over a video frame");
    checkMedia(av_frame_copy_props(copy.get(), picture), "Cannot draw over a video frame");
    job.picture = std::move(copy);
}

FramePtr FrameComposer::compose(FrameJob& job, const InTurn& inTurn)
{
    if (job.compositorTurn >= 0) return composition_.compositor ? redraw(job, inTurn) : drawOver(job);
    if (job.overlays.empty()) return std::move(job.picture);
    ownPicture(job);
    for (const auto& overlay : job.overlays)
        overlay->picture(composition_.width, composition_.height).blendInto(job.picture.get());
    job.overlays.clear();
    return std::move(job.picture);
}

// The custom compositor draws the whole frame from the placed one in RGB.
FramePtr FrameComposer::redraw(FrameJob& job, const InTurn& inTurn)
{
    QImage source;
    if (job.hasSource) source = converter_.toImage(job.picture.get());
    const CompositionInstruction& instruction = composition_.instructions[size_t(job.instruction)];
    QImage result;
    inTurn(job.compositorTurn, [&] {
        result = composition_.compositor(CompositorRequest{source, job.time, job.instruction, instruction, &source});
    });
    if (result.isNull()) throw MediaError("The compositor returned no picture at " + job.time.toString());
    if (result.size() != QSize(composition_.width, composition_.height))
        result =
            result.scaled(composition_.width, composition_.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (result.format() != QImage::Format_ARGB32_Premultiplied)
        result = result.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    FramePtr out = blackVideoFrame(composition_.width, composition_.height);
    outputConverter_.imageToFrame(result, out.get());
    return out;
}

// The overlay compositor draws over the placed frame, which stays in YUV:
// only the part it reads goes to RGB, only the part it draws is blended.
FramePtr FrameComposer::drawOver(FrameJob& job)
{
    const OverlayCompositor& compositor = composition_.overlayCompositor;
    const QRect canvas(0, 0, composition_.width, composition_.height);
    QRect read = job.hasSource ? compositor.sourceArea(job.time, job.instruction).intersected(canvas) : QRect();
    QImage area;
    if (!read.isEmpty()) {
        // On even positions and sizes, as the frame's chroma lies.
        read = QRect(QPoint(read.left() & ~1, read.top() & ~1), QPoint(read.right() | 1, read.bottom() | 1))
                   .intersected(canvas);
        if (job.pictureSerial != readSerial_ || read != readRect_)
            area =
                converter_.areaToImage(job.picture.get(), PixelRect{read.x(), read.y(), read.width(), read.height()});
        else
            area = readArea_;
        // Kept only from a picture other frames show too.
        const bool shared = !av_frame_is_writable(job.picture.get());
        readArea_ = shared ? area : QImage();
        readRect_ = read;
        readSerial_ = shared ? job.pictureSerial : -1;
    }
    const CompositorOverlay overlay = compositor.draw(OverlayRequest{job.time, job.instruction, area, read});
    bool writable = false;
    for (const CompositorLayer& layer : overlay.layers) {
        if (layer.rect.isEmpty()) continue;
        if (!layer.standing && layer.picture.size() != canvas.size())
            throw MediaError("The compositor drew over a picture of the wrong size at " + job.time.toString());
        if (!writable) ownPicture(job);
        writable = true;
        if (layer.standing)
            layer.standing->tables().blendInto(job.picture.get());
        else
            YuvOverlay::blendOnce(layer.picture, layer.rect.intersected(canvas), job.picture.get());
    }
    return std::move(job.picture);
}

} // namespace zanto::media
