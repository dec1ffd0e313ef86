#include "organizer/OrganizerOverlay.h"

namespace zanto {

OrganizerOverlay::OrganizerOverlay(QWidget* parent) : QWidget(parent)
{
    // Clear over the picture; presses reach the overlay only while editing.
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void OrganizerOverlay::resetSelection()
{
    selectedMark_.reset();
}

} // namespace zanto
