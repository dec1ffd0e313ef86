// The arrangement of the window: the layout menu, the inspector and drawing
// panel toggles, the inspector's tabs and the timeline's zoom.
#include "organizer/Organizer.h"

#include "organizer/OrganizerInspectorPane.h"
#include "organizer/OrganizerSplit.h"
#include "organizer/OrganizerTimelinePane.h"

#include <QWidget>

namespace zanto {

namespace {

constexpr double standardUpperShare = 0.73;
constexpr double enlargedUpperShare = 0.76;
// The inspector pane (293) and the divider (7) before the right edge.
constexpr double standardInspectorPlace = 300;

} // namespace

void Organizer::enlargePreview()
{
    verticalSplit_->setPosition(enlargedUpperShare * verticalSplit_->height(), 0);
}

void Organizer::resetLayout()
{
    inspectorHidden = false;
    horizontalSplit_->setCollapsed(false);
    horizontalSplit_->setPosition(horizontalSplit_->width() - standardInspectorPlace, 0);
    verticalSplit_->setPosition(standardUpperShare * verticalSplit_->height(), 0);
}

void Organizer::toggleInspector()
{
    inspectorHidden = !inspectorHidden;
    // Collapsing keeps the ratio: the divider comes back where it was.
    horizontalSplit_->setCollapsed(inspectorHidden);
}

void Organizer::toggleDrawing()
{
    inspector_->toggleDrawingPanel();
}

void Organizer::inspectorTabChanged()
{
    inspector_->showSelectedPage();
}

void Organizer::zoomTimeline()
{
    timelinePane_->timeline().scale = timelinePane_->zoom();
    timelinePane_->timeline().refresh();
}

} // namespace zanto
