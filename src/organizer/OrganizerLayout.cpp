#include "organizer/Organizer.h"

#include "organizer/OrganizerActions.h"
#include "organizer/OrganizerControls.h"
#include "organizer/OrganizerInspectorPane.h"
#include "organizer/OrganizerPreviewPane.h"
#include "organizer/OrganizerSplit.h"
#include "organizer/OrganizerTimelinePane.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace zanto {

using namespace controls;

void Organizer::buildWindow()
{
    window_ = std::make_unique<QWidget>();
    window_->setWindowTitle("ZANTORIX / ORGANIZER");
    window_->resize(1200, 850);
    window_->setMinimumSize(1000, 650);
    // Light whatever the desktop's theme, on the calibrated grey of the content view.
    window_->setPalette(QPalette(QColor(240, 240, 240)));
    window_->setAutoFillBackground(true);
    QFont font("Noto Sans CJK JP");
    font.setPixelSize(13);
    window_->setFont(font);
    window_->installEventFilter(this);

    auto* root = column(window_.get(), 2);
    root->setContentsMargins(0, 0, 0, 2);
    root->setAlignment(Qt::Alignment());
    root->addWidget(buildToolbar());

    horizontalSplit_ = new OrganizerSplit;
    horizontalSplit_->setObjectName("horizontalSplit");
    horizontalSplit_->isVertical = true;
    preview_ = new OrganizerPreviewPane(*this);
    playback_->showIn(*preview_);
    inspector_ = new OrganizerInspectorPane(*this);
    horizontalSplit_->addArrangedSubview(preview_);
    horizontalSplit_->addArrangedSubview(inspector_);
    horizontalSplit_->setAutosaveName("ZantoOrganizerInspector29");
    verticalSplit_ = new OrganizerSplit;
    verticalSplit_->setObjectName("verticalSplit");
    verticalSplit_->isVertical = false;
    verticalSplit_->addArrangedSubview(horizontalSplit_);
    timelinePane_ = new OrganizerTimelinePane(*this);
    verticalSplit_->addArrangedSubview(timelinePane_);
    verticalSplit_->setAutosaveName("ZantoOrganizerVideoTimeline29");
    root->addWidget(verticalSplit_, 1);

    progress_ = new QProgressBar;
    progress_->setObjectName("progress");
    progress_->setRange(0, 1000);
    progress_->setTextVisible(false);
    progress_->setFixedHeight(12);
    // Its place stays when it is hidden, so that the window's content does
    // not move each time an export starts and ends; a thin bar keeps that
    // place small.
    QSizePolicy keepsPlace = progress_->sizePolicy();
    keepsPlace.setRetainSizeWhenHidden(true);
    progress_->setSizePolicy(keepsPlace);
    progress_->hide();
    root->addWidget(progress_);
    status_ = label(QString());
    status_->setObjectName("status");
    setPixelFont(status_, 10);
    // One line whatever its length; the tool tip holds the whole text.
    status_->setMinimumWidth(1);
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    status_->setContentsMargins(6, 0, 6, 0);
    root->addWidget(status_);
}

QWidget* Organizer::buildToolbar()
{
    auto* toolbar = new QWidget;
    toolbar->setFixedHeight(32);
    auto* layout = row(5);
    layout->setContentsMargins(6, 0, 6, 0);
    toolbar->setLayout(layout);
    using C = OrganizerCommand;
    for (const C command : {C::newDocument, C::openDocument, C::saveDocument}) {
        layout->addWidget(actionButton(*this, command));
    }
    layout->addStretch(1);
    for (const C command : {C::showLayout, C::showMore, C::showExport, C::toggleInspector}) {
        layout->addWidget(actionButton(*this, command));
    }
    return toolbar;
}

} // namespace zanto
