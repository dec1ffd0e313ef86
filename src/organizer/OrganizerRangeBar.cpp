#include "organizer/OrganizerRangeBar.h"

#include "organizer/Organizer.h"

namespace zanto {

OrganizerRangeBar::OrganizerRangeBar(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(barHeight);
}

} // namespace zanto
