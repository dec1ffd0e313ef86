#include "organizer/OrganizerRangeBar.h"

namespace zanto {

OrganizerRangeBar::OrganizerRangeBar(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(barHeight);
}

void OrganizerRangeBar::setState(State state)
{
    state_ = std::move(state);
    update();
}

} // namespace zanto
