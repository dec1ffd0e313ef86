// Slide movies: a title, image or freeze item becomes a short still movie that
// the render then cuts like any source video.
#include "playlist/OrganizerExporter.h"

#include "marks/OrganizerMarkDrawing.h"
#include "platform/media/FrameReader.h"
#include "platform/media/MovieWriter.h"
#include "playlist/OrganizerExporterComposition.h"
#include "playlist/OrganizerExporterPicture.h"
#include "services/ExportFailure.h"

namespace zanto {
namespace {

// The exact source frame at the freeze time, fitted upright on the canvas.
void drawFreeze(QImage& canvas, const OrganizerItem& item, const OrganizerDocument& document)
{
    const OrganizerSource* source = document.source(item.sourceID);
    if (!source || !item.freezeTime) throw failure("フリーズフレームの元映像が見つかりません。");
    const MediaTime at = MediaTime::fromSeconds(*item.freezeTime + source->offset, 60000);
    // Cut beside the export, whose encoder keeps every core busy: frame
    // threads would only hold more pictures.
    const QImage still = copyStillImage(source->path, at, FrameDecoding::OneThread);
    slides::drawFitted(canvas, still, QSizeF(still.size()));
}

void drawImage(QImage& canvas, const OrganizerItem& item)
{
    QSizeF size;
    const std::optional<QImage> picture = slides::loadPicture(item.imagePath, size);
    if (!picture || !(size.width() > 0) || !(size.height() > 0)) throw failure("画像が見つかりません：" + item.name);
    slides::drawFitted(canvas, *picture, size);
}

QImage slidePicture(const OrganizerItem& item, const OrganizerDocument& document)
{
    QImage canvas = slides::blankCanvas();
    if (item.kind == "freeze")
        drawFreeze(canvas, item, document);
    else if (item.kind == "image")
        drawImage(canvas, item);
    else
        slides::drawTitleCard(canvas, item);
    return canvas;
}

// Nothing on a slide moves: its movie is one frame, shown for the slide's
// whole stretch (a whole number of frames at 30 fps). Read back, every frame
// of the stretch is that same picture, so the export places it once, and
// marks that follow no clock are drawn on it once; no encoder is held open
// for seconds beside the export under way.
MovieWriterSettings slideSettings(const OrganizerItem& item)
{
    MovieWriterSettings settings;
    settings.width = markCanvasWidth;
    settings.height = markCanvasHeight;
    settings.frameDuration = MediaTime{slides::frameCount(item.end - item.start), 30};
    settings.container = MovieContainer::QuickTime;
    settings.intermediate = true;
    return settings;
}

} // namespace

MediaAsset slideMovieAsset(const OrganizerItem& item, const std::filesystem::path& movie)
{
    requireStillLength(item);
    const MovieWriterSettings settings = slideSettings(item);
    const MediaTime duration = settings.frameDuration;
    VideoTrackInfo video;
    video.streamIndex = 0;
    video.width = settings.width;
    video.height = settings.height;
    video.nominalFrameRate = double(settings.frameDuration.timeScale) / double(settings.frameDuration.value);
    video.frameDuration = settings.frameDuration;
    video.constantFrameRate = true;
    video.timeRange = MediaTimeRange{MediaTime::zero(), duration};
    video.codecName = "h264";
    return MediaAsset{.path = movie, .duration = duration, .video = video};
}

void OrganizerExporter::slide(const OrganizerItem& item, const OrganizerDocument& document,
                              const std::filesystem::path& url) const
{
    // A writer that is not finished removes its file when it goes away.
    MovieWriter writer(url, slideSettings(item));
    const QImage picture = slidePicture(item, document);
    check();
    writer.appendVideoFrame(picture, MediaTime::zero());
    check();
    writer.finish();
}

} // namespace zanto
