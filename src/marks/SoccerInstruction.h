#pragma once
// One segment of a telestration export: the stretch of the composition that
// one playlist item fills, which track shows there, how its frames are placed
// on the 1280 x 720 canvas and which marks are drawn over them.

#include "marks/OrganizerMark.h"
#include "platform/media/AffineTransform.h"
#include "platform/media/MediaTime.h"

#include <cstdint>
#include <vector>

namespace zanto {

struct SoccerInstruction {
    MediaTimeRange timeRange; // in the composition's timeline
    bool enablePostProcessing = true;
    bool containsTweening = true;                     // every frame is composited, even a held one
    std::vector<std::int32_t> requiredSourceTrackIDs; // {track}
    std::int32_t passthroughTrackID = 0;              // 0: no frame passes uncomposited
    std::int32_t track = 0;                           // the track whose frames this segment shows
    AffineTransform transform;                        // source pixels to canvas pixels, origin top left
    std::vector<OrganizerMark> marks;                 // the item's marks, in its order

    // The only way to make one: every field follows from these four.
    SoccerInstruction(MediaTimeRange range, std::int32_t track, AffineTransform transform,
                      std::vector<OrganizerMark> marks);

    bool operator==(const SoccerInstruction&) const = default;
};

} // namespace zanto
