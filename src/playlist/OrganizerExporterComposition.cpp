#include "playlist/OrganizerExporterComposition.h"

#include "marks/OrganizerMarkDrawing.h"
#include "playlist/OrganizerExporterPicture.h"
#include "platform/media/MediaError.h"
#include "services/ExportFailure.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace zanto {
namespace {

constexpr double canvasWidth = markCanvasWidth;
constexpr double canvasHeight = markCanvasHeight;
// Times of the composition: fine enough for 24, 25, 30, 50 and 60 fps and
// for 29.97 within a microsecond.
constexpr int32_t timeScale = 60000;
// A clip may end this much after its file: container durations are often a
// frame's fraction shorter than the times an analysis was tagged with.
constexpr double endSlackSeconds = 0.04;
// Start plus length is summed from decimal times in binary floating point and
// may land a few units in the last place past the slack: a clip typed to end
// exactly 0.04 s after its file must still pass. A microsecond is far below
// any frame.
constexpr double roundingSeconds = 1e-6;
// The latest end a playlist item may have.
constexpr double maxItemSeconds = 864000;

[[noreturn]] void outOfRange(const OrganizerItem& item)
{
    throw failure("映像の範囲外です：" + item.name + "。時刻とアングル補正を確認してください。");
}

bool clipFits(const MediaAsset& asset, double clipStart, double clipLength)
{
    if (!asset.video || asset.video->width <= 0 || asset.video->height <= 0) return false;
    const double duration = asset.duration.seconds();
    // The items come from the caller and need not be the validated document's:
    // a clip that ends where it starts, or before, has nothing to show.
    return clipStart >= 0 && clipLength > 0 && asset.duration.isValid() && std::isfinite(duration)
           && clipStart + clipLength <= duration + endSlackSeconds + roundingSeconds;
}

// The sound of the clip keeps its place against the picture where the audio
// track starts later or ends sooner than the video.
void insertAudio(Composition& composition, const MediaAsset& asset, const std::filesystem::path& path,
                 const MediaTimeRange& sourceRange, const MediaTime& outputTime)
{
    if (!asset.audio) return;
    const MediaTimeRange overlap = sourceRange.intersection(asset.audio->timeRange);
    if (!(overlap.duration.seconds() > 0)) return;
    composition.audio.push_back(CompositionInsert{path, overlap, outputTime + (overlap.start - sourceRange.start)});
}

} // namespace

std::optional<MediaAsset> loadClipAsset(const std::filesystem::path& path)
{
    try {
        return MediaAsset::load(path);
    } catch (const MediaError&) {
        return std::nullopt;
    }
}

void requireStillLength(const OrganizerItem& item)
{
    // Items handed over need not be the validated document's. A still of no
    // finite length, or longer than any playlist item may be, would be written
    // frame by frame for hours before the range rule refused it.
    const double length = item.end - item.start;
    if (!(length > 0) || !(length <= maxItemSeconds)) outOfRange(item);
}

AffineTransform placementTransform(const VideoTrackInfo& video)
{
    const AffineTransform& turn = video.preferredTransform;
    const MediaRect upright = turn.mapRect(MediaRect{0, 0, double(video.width), double(video.height)});
    const double w = std::abs(upright.width);
    const double h = std::abs(upright.height);
    // Fitted whole and centred exactly as a slide's picture is.
    const double scale = slides::fitScale(w, h);
    return turn.then(AffineTransform::translation(-upright.x, -upright.y))
        .then(AffineTransform::scaling(scale, scale))
        .then(AffineTransform::translation((canvasWidth - w * scale) / 2, (canvasHeight - h * scale) / 2));
}

ComposedItem composeItem(Composition& composition, const OrganizerItem& item, const ClipSource& clip,
                         const std::optional<MediaAsset>& asset, const MediaTime& outputTime)
{
    const double clipLength = item.end - item.start;
    if (!asset || !clipFits(*asset, clip.startSeconds, clipLength)) outOfRange(item);

    const MediaTimeRange sourceRange{MediaTime::fromSeconds(clip.startSeconds, timeScale),
                                     MediaTime::fromSeconds(clipLength, timeScale)};
    composition.video.push_back(CompositionInsert{clip.path, sourceRange, outputTime});
    insertAudio(composition, *asset, clip.path, sourceRange, outputTime);

    ComposedItem composed;
    composed.outputRange = MediaTimeRange{outputTime, sourceRange.duration};
    composed.placement = placementTransform(*asset->video);
    composed.marks = item.marks.value_or(std::vector<OrganizerMark>{});
    composed.still = item.kind != "video";
    composition.instructions.push_back(CompositionInstruction{composed.outputRange, composed.placement});
    return composed;
}

} // namespace zanto
