#pragma once
// How the playlist render places one item on the composition: its video
// range, its sound, its placement on the 1280 × 720 canvas and its marks.
// Internal to the playlist exporter; plain values, any thread.
#include "marks/OrganizerMark.h"
#include "platform/media/AffineTransform.h"
#include "platform/media/Composition.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaTime.h"
#include "playlist/OrganizerDocument.h"

#include <filesystem>
#include <optional>
#include <vector>

namespace zanto {

// The movie an item is cut from and where its clip starts in that file.
struct ClipSource {
    std::filesystem::path path;
    double startSeconds = 0;
};

// One item as placed on the output timeline.
struct ComposedItem {
    MediaTimeRange outputRange;
    AffineTransform placement;
    std::vector<OrganizerMark> marks;
    bool still = false; // a slide: every frame shows the same picture
};

// Turns a picture of the track's natural size upright (preferred transform),
// fits it whole into 1280 × 720 and centres it.
AffineTransform placementTransform(const VideoTrackInfo& video);

// What the clip's file holds; none when it cannot be read as a movie.
std::optional<MediaAsset> loadClipAsset(const std::filesystem::path& path);

// Adds the item's video range (and its sound, where the file has some) to the
// composition at `outputTime`, with an instruction that places it; `asset` is
// the clip's file as loadClipAsset() gave it. Throws "映像の範囲外です：…" when
// the clip does not lie within the file (0.04 s of slack at the end) or the
// file holds no movie.
ComposedItem composeItem(Composition& composition, const OrganizerItem& item, const ClipSource& clip,
                         const std::optional<MediaAsset>& asset, const MediaTime& outputTime);

// Throws "映像の範囲外です：…" unless the item's length is one a still movie
// can be written for: finite, above zero and within a playlist item's limit.
void requireStillLength(const OrganizerItem& item);

// What the still movie of a title, image or freeze item holds once it is
// written at `movie`, known before it is. Throws as requireStillLength().
MediaAsset slideMovieAsset(const OrganizerItem& item, const std::filesystem::path& movie);

// Draws each frame's item marks over it: telestration marks on the GPU, plain
// marks in 2D.
OverlayCompositor markCompositor(const std::vector<ComposedItem>& items);

} // namespace zanto
