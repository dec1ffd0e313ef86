// Exports with telestration marks draw the stretches of those items through
// the export compositor and the marks engine.
#include "playlist/OrganizerExporterComposition.h"

#include "marks/SoccerCompositor.h"
#include "marks/SoccerInstruction.h"

namespace zanto {
namespace {

// The composition has one video track; its frames are what every segment shows.
constexpr std::int32_t videoTrack = 1;

} // namespace

OverlayCompositor markCompositor(const std::vector<ComposedItem>& items)
{
    std::vector<SoccerInstruction> instructions;
    std::vector<bool> stills;
    instructions.reserve(items.size());
    for (const ComposedItem& item : items) {
        instructions.emplace_back(item.outputRange, videoTrack, item.placement, item.marks);
        stills.push_back(item.still);
    }
    return SoccerCompositor::overlayCompositor(std::move(instructions), MarkLayers::Split, std::move(stills));
}

} // namespace zanto
