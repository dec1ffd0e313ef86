#include "organizer/OrganizerTimelinePane.h"

#include "organizer/OrganizerActions.h"
#include "organizer/Organizer.h"
#include "organizer/OrganizerControls.h"
#include "organizer/OrganizerSlider.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace zanto {

using namespace controls;

OrganizerTimelinePane::OrganizerTimelinePane(Organizer& organizer) : OrganizerInsetPane(allowance, 100)
{
    auto* layout = column(this);
    // The split alone decides the pane's size.
    layout->setAlignment(Qt::Alignment());
    layout->setSizeConstraint(QLayout::SetNoConstraint);

    auto* header = row(8);
    // Clear of the divider above, whose presses reach 2 points into the pane.
    header->setContentsMargins(6, 3, 6, 0);
    header->addWidget(label("オーガナイザー"));
    header->addWidget(actionButton(organizer, OrganizerCommand::addRow));
    header->addWidget(label("拡大"));
    zoomSlider_ = new OrganizerSlider(12, 1, 24);
    zoomSlider_->setObjectName("zoomSlider");
    zoomSlider_->setContinuous(true);
    tagControl(*zoomSlider_, OrganizerCommand::zoomTimeline);
    zoomSlider_->action = [&organizer] { organizer.perform(OrganizerCommand::zoomTimeline); };
    zoomSlider_->setFixedWidth(110);
    header->addWidget(zoomSlider_);
    header->addStretch(1);
    layout->addLayout(header);

    timeline_ = new OrganizerTimeline;
    timeline_->setObjectName("timeline");
    reportTo(organizer);
    timelineScroll_ = new QScrollArea;
    timelineScroll_->setObjectName("timelineScroll");
    timelineScroll_->setFrameShape(QFrame::NoFrame);
    timelineScroll_->setWidget(timeline_);
    follower = timelineScroll_;
    timelineScroll_->viewport()->installEventFilter(this);
    // The label column is drawn at the visible left edge: repaint it on sideways scrolls.
    QObject::connect(timelineScroll_->horizontalScrollBar(), &QScrollBar::valueChanged, timeline_,
                     [this] { timeline_->update(); });
    layout->addWidget(timelineScroll_);

    auto* hint = label("端をドラッグ：長さ変更　／　本体をドラッグ：並べ替え・行移動　／　行名：Enterで変更");
    setPixelFont(hint, 10);
    hint->setStyleSheet("color: #808080;");
    hint->setContentsMargins(6, 0, 6, 0);
    layout->addWidget(hint);
    layout->addStretch(1);
}

void OrganizerTimelinePane::reportTo(Organizer& organizer)
{
    timeline_->gestures = {
        .select = [&organizer](int row, std::optional<int> item) { organizer.selectTimeline(row, item); },
        .selectItems = [&organizer](const std::set<int>& items) { organizer.table.selectRowIndexes(items, false); },
        .move = [&organizer](int row, int item,
                             OrganizerTimeline::Drop to) { organizer.moveTimelineItem(row, item, to.row, to.index); },
        .trim = [&organizer](int row, int item, double start,
                             double end) { organizer.trimTimelineItem(row, item, start, end); },
        .openMenu = [&organizer](OrganizerMenu menu) { organizer.popup(menu); },
        .command = [&organizer](OrganizerCommand command) { organizer.perform(command); },
    };
}

double OrganizerTimelinePane::zoom() const
{
    return zoomSlider_->doubleValue();
}

OrganizerTimelinePane::~OrganizerTimelinePane()
{
    // The children go after this part of the pane; no resize of theirs may
    // reach the filter below.
    timelineScroll_->viewport()->removeEventFilter(this);
}

bool OrganizerTimelinePane::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && watched == timelineScroll_->viewport()) timeline_->refresh();
    return OrganizerInsetPane::eventFilter(watched, event);
}

} // namespace zanto
