#include "organizer/OrganizerFlippedStack.h"

#include "organizer/OrganizerControls.h"

#include <QVBoxLayout>

namespace zanto {

OrganizerFlippedStack::OrganizerFlippedStack(int spacing, QWidget* parent) : QWidget(parent)
{
    controls::column(this, spacing);
}

void OrganizerFlippedStack::addArrangedSubview(QWidget* view)
{
    static_cast<QVBoxLayout*>(layout())->addWidget(view, 0, Qt::AlignLeft | Qt::AlignTop);
}

} // namespace zanto
