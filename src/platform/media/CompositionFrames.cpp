#include "platform/media/CompositionFrames.h"

#include "platform/media/MediaError.h"
#include "platform/media/VideoDecoder.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <QPainter>
#include <QTransform>

#include <cmath>

namespace zanto::media {
namespace {

// Open decoders kept for sources that come back (angles, alternating clips).
constexpr size_t kOpenDecoders = 4;

bool covers(const MediaTime& start, const MediaTime& duration, const MediaTime& time)
{
    return time >= start && time < start + duration;
}

} // namespace

SourceFrames::SourceFrames(const Composition& composition) : composition_(composition) {}
SourceFrames::~SourceFrames() = default;

int SourceFrames::insertAt(const MediaTime& time)
{
    const auto& inserts = composition_.video;
    auto hit = [&](int i) { return covers(inserts[size_t(i)].outputTime, inserts[size_t(i)].sourceRange.duration, time); };
    if (insertHint_ < int(inserts.size()) && hit(insertHint_))
        return insertHint_;
    // Later inserts lie over earlier ones.
    for (int i = int(inserts.size()) - 1; i >= 0; --i)
        if (hit(i))
            return insertHint_ = i;
    return -1;
}

int SourceFrames::instructionAt(const MediaTime& time)
{
    const auto& list = composition_.instructions;
    if (instructionHint_ < int(list.size()) && list[size_t(instructionHint_)].timeRange.containsTime(time))
        return instructionHint_;
    for (int i = 0; i < int(list.size()); ++i)
        if (list[size_t(i)].timeRange.containsTime(time))
            return instructionHint_ = i;
    return -1;
}

VideoDecoder& SourceFrames::decoder(const std::filesystem::path& path)
{
    for (auto it = decoders_.begin(); it != decoders_.end(); ++it) {
        if (it->first == path) {
            decoders_.splice(decoders_.begin(), decoders_, it);
            return *decoders_.front().second;
        }
    }
    decoders_.emplace_front(path, std::make_unique<VideoDecoder>(path));
    if (decoders_.size() > kOpenDecoders)
        decoders_.pop_back();
    return *decoders_.front().second;
}

FrameJob SourceFrames::job(int64_t index)
{
    FrameJob job;
    job.index = index;
    job.time = composition_.frameDuration * index;
    job.instruction = instructionAt(job.time);
    int insert = insertAt(job.time);
    if (insert < 0)
        return job;
    const CompositionInsert& in = composition_.video[size_t(insert)];
    VideoDecoder& source = decoder(in.assetPath);
    const AVFrame* frame = source.frameAt(in.sourceRange.start + (job.time - in.outputTime));
    job.source.reset(av_frame_clone(frame));
    if (!job.source)
        throw MediaError("Cannot hold a frame of “" + in.assetPath.string() + "”: " + mediaErrorText(AVERROR(ENOMEM)));
    job.matrix = source.video().colourMatrix;
    job.naturalWidth = source.video().width;
    job.naturalHeight = source.video().height;
    return job;
}

FrameComposer::FrameComposer(const Composition& composition) : composition_(composition) {}

std::vector<const CompositionOverlay*> FrameComposer::overlaysAt(const MediaTime& time) const
{
    std::vector<const CompositionOverlay*> shown;
    for (const CompositionOverlay& overlay : composition_.overlays)
        if (overlay.timeRange.containsTime(time) && !overlay.image.isNull())
            shown.push_back(&overlay);
    return shown;
}

// The output rectangle of an unturned, unflipped placement, when it lies
// wholly on the canvas (swscale then scales straight into the frame).
bool FrameComposer::placedRect(const FrameJob& job, PixelRect* rect) const
{
    const AffineTransform& t = composition_.instructions[size_t(job.instruction)].transform;
    if (!t.isAxisAlignedScale())
        return false;
    MediaRect r = t.mapRect({0, 0, double(job.naturalWidth), double(job.naturalHeight)});
    int x0 = int(std::lround(r.x)), y0 = int(std::lround(r.y));
    int x1 = int(std::lround(r.x + r.width)), y1 = int(std::lround(r.y + r.height));
    if (x0 < 0 || y0 < 0 || x1 > composition_.width || y1 > composition_.height || x1 - x0 < 2 || y1 - y0 < 2)
        return false;
    *rect = PixelRect{x0, y0, x1 - x0, y1 - y0};
    return true;
}

FramePtr FrameComposer::compose(const FrameJob& job)
{
    bool placed = job.source && job.instruction >= 0;
    if (composition_.compositor && job.instruction >= 0)
        return composeWithCompositor(job);
    std::vector<const CompositionOverlay*> overlays = overlaysAt(job.time);
    PixelRect rect;
    if (!overlays.empty() || (placed && !placedRect(job, &rect)))
        return composeImage(job, overlays);
    bool sameSource = placed ? lastSource_ && lastSource_->data[0] == job.source->data[0] : !lastSource_;
    if (lastFrame_ && sameSource && job.instruction == lastInstruction_) {
        FramePtr again(av_frame_clone(lastFrame_.get()));
        if (again)
            return again;
    }
    FramePtr out = blackVideoFrame(composition_.width, composition_.height);
    if (placed) {
        converter_.setSourceMatrix(job.matrix);
        converter_.scaleInto(job.source.get(), out.get(), rect);
    }
    lastFrame_.reset(av_frame_clone(out.get()));
    lastSource_.reset(placed ? av_frame_clone(job.source.get()) : nullptr);
    lastInstruction_ = job.instruction;
    return out;
}

FramePtr FrameComposer::composeImage(const FrameJob& job, const std::vector<const CompositionOverlay*>& overlays)
{
    lastFrame_.reset();
    lastSource_.reset();
    QImage canvas(composition_.width, composition_.height, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::black);
    converter_.setSourceMatrix(job.matrix);
    PixelRect rect;
    if (job.source && job.instruction >= 0) {
        if (placedRect(job, &rect)) {
            converter_.scaleInto(job.source.get(), canvas, rect);
        } else {
            const AffineTransform& t = composition_.instructions[size_t(job.instruction)].transform;
            QImage source = converter_.toImage(job.source.get(), job.naturalWidth, job.naturalHeight);
            QPainter painter(&canvas);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.setTransform(QTransform(t.a, t.b, t.c, t.d, t.tx, t.ty));
            painter.drawImage(0, 0, source);
        }
    }
    if (!overlays.empty()) {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        for (const CompositionOverlay* overlay : overlays)
            painter.drawImage(canvas.rect(), overlay->image);
    }
    FramePtr out = blackVideoFrame(composition_.width, composition_.height);
    outputConverter_.imageToFrame(canvas, out.get());
    return out;
}

FramePtr FrameComposer::composeWithCompositor(const FrameJob& job)
{
    lastFrame_.reset();
    lastSource_.reset();
    QImage source;
    if (job.source) {
        converter_.setSourceMatrix(job.matrix);
        source = converter_.toImage(job.source.get(), job.naturalWidth, job.naturalHeight);
    }
    const CompositionInstruction& instruction = composition_.instructions[size_t(job.instruction)];
    QImage result = composition_.compositor(CompositorRequest{source, job.time, job.instruction, instruction});
    if (result.isNull())
        throw MediaError("The compositor returned no picture at " + job.time.toString());
    if (result.size() != QSize(composition_.width, composition_.height))
        result = result.scaled(composition_.width, composition_.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (result.format() != QImage::Format_ARGB32_Premultiplied)
        result = result.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    FramePtr out = blackVideoFrame(composition_.width, composition_.height);
    outputConverter_.imageToFrame(result, out.get());
    return out;
}

} // namespace zanto::media
