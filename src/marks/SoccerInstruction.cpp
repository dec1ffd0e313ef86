#include "marks/SoccerInstruction.h"

#include <utility>

namespace zanto {

SoccerInstruction::SoccerInstruction(MediaTimeRange range, std::int32_t track, AffineTransform transform,
                                     std::vector<OrganizerMark> marks)
    : timeRange(range), requiredSourceTrackIDs{track}, track(track), transform(transform), marks(std::move(marks))
{ }

} // namespace zanto
