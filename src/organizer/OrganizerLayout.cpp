#include "organizer/Organizer.h"

#include "organizer/OrganizerActions.h"
#include "organizer/OrganizerControls.h"
#include "organizer/OrganizerFlippedStack.h"
#include "organizer/OrganizerImageView.h"
#include "organizer/OrganizerOverlay.h"
#include "organizer/OrganizerRangeBar.h"
#include "organizer/OrganizerSplit.h"
#include "organizer/OrganizerTimeline.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

namespace zanto {

using namespace controls;

namespace {

// Every child takes the whole box, later children on top of earlier ones.
class FillBox : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            child->setGeometry(rect());
        }
    }
};

// The black stage: the picture box is the largest 16:9 rectangle that fits,
// centred, and the material strip runs down the stage's right edge.
class PreviewStage : public QWidget {
public:
    using QWidget::QWidget;
    QWidget* box = nullptr;
    QWidget* strip = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        const double w = width(), h = height();
        const double boxWidth = std::min(w, h * 16.0 / 9.0);
        const double boxHeight = boxWidth * 9.0 / 16.0;
        if (box) {
            box->setGeometry(QRectF((w - boxWidth) / 2, (h - boxHeight) / 2, boxWidth, boxHeight).toRect());
        }
        if (strip) strip->setGeometry(width() - 3 - 38, 5, 38, std::max(0, height() - 10));
    }
};

// A pane whose main view is as high as the pane less a fixed allowance for
// the controls under it, whether or not they are on show, so that the
// picture does not jump when the range bar comes and goes.
class InsetPane : public QWidget {
public:
    InsetPane(int allowance, int minimum) : allowance_(allowance), minimum_(minimum) {}
    QWidget* follower = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        if (follower) follower->setFixedHeight(std::max(minimum_, height() - allowance_));
    }

private:
    int allowance_;
    int minimum_;
};

// A column of `pane` whose size the split alone decides.
QVBoxLayout* paneColumn(QWidget* pane)
{
    auto* layout = column(pane);
    layout->setAlignment(Qt::Alignment());
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    return layout;
}

} // namespace

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

    horizontalSplit = new OrganizerSplit;
    horizontalSplit->setObjectName("horizontalSplit");
    horizontalSplit->isVertical = true;
    horizontalSplit->addArrangedSubview(buildPreviewPane());
    horizontalSplit->addArrangedSubview(buildInspectorPane());
    horizontalSplit->setAutosaveName("ZantoOrganizerInspector29");
    verticalSplit = new OrganizerSplit;
    verticalSplit->setObjectName("verticalSplit");
    verticalSplit->isVertical = false;
    verticalSplit->addArrangedSubview(horizontalSplit);
    verticalSplit->addArrangedSubview(buildTimelinePane());
    verticalSplit->setAutosaveName("ZantoOrganizerVideoTimeline29");
    root->addWidget(verticalSplit, 1);

    progress = new QProgressBar;
    progress->setObjectName("progress");
    progress->setRange(0, 1000);
    progress->setTextVisible(false);
    progress->hide();
    root->addWidget(progress);
    status = label(QString());
    status->setObjectName("status");
    setPixelFont(status, 10);
    // One line whatever its length; the tool tip holds the whole text.
    status->setMinimumWidth(1);
    status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    status->setContentsMargins(6, 0, 6, 0);
    root->addWidget(status);
}

QWidget* Organizer::buildToolbar()
{
    auto* toolbar = new QWidget;
    toolbar->setFixedHeight(32);
    auto* layout = row(5);
    layout->setContentsMargins(6, 0, 6, 0);
    toolbar->setLayout(layout);
    for (const char* name : {"newDocument", "openDocument", "saveDocument"}) {
        layout->addWidget(actionButton(*this, name));
    }
    layout->addStretch(1);
    for (const char* name : {"showLayout", "showMore", "showExport", "toggleInspector"}) {
        layout->addWidget(actionButton(*this, name));
    }
    return toolbar;
}

QWidget* Organizer::buildPreviewPane()
{
    auto* pane = new InsetPane(previewAllowance, 100);
    auto* layout = paneColumn(pane);
    pane->follower = buildPreviewStage();
    layout->addWidget(pane->follower);
    rangeBar = new OrganizerRangeBar;
    rangeBar->setObjectName("rangeBar");
    rangeBar->hide();
    layout->addWidget(rangeBar);
    layout->addWidget(buildTransport());
    layout->addStretch(1);
    return pane;
}

QWidget* Organizer::buildPreviewStage()
{
    auto* stage = new PreviewStage;
    previewStage = stage;
    previewStage->setObjectName("previewStage");
    stage->setMinimumHeight(100);
    QPalette black;
    black.setColor(QPalette::Window, Qt::black);
    stage->setPalette(black);
    stage->setAutoFillBackground(true);

    auto* box = new FillBox(stage);
    movie = new QWidget(box);
    movie->setObjectName("movie");
    movie->setPalette(black);
    movie->setAutoFillBackground(true);
    image = new OrganizerImageView(box);
    image->setObjectName("image");
    image->hide();
    titleView = new QLabel(box);
    titleView->setObjectName("titleView");
    titleView->setTextFormat(Qt::PlainText);
    titleView->setWordWrap(true);
    titleView->setAlignment(Qt::AlignCenter);
    titleView->setStyleSheet("color: white;");
    setPixelFont(titleView, 30, true);
    titleView->hide();
    overlay = new OrganizerOverlay(box);
    overlay->setObjectName("overlay");
    stage->box = box;
    stage->strip = buildMaterialStrip(stage);
    return stage;
}

QWidget* Organizer::buildMaterialStrip(QWidget* stage)
{
    auto* strip = new QScrollArea(stage);
    strip->setFrameShape(QFrame::NoFrame);
    strip->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Scrolls with the wheel when the stage is too low for all buttons.
    strip->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    strip->setStyleSheet("QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }");
    auto* buttons = new OrganizerFlippedStack(3);
    buttons->setFixedWidth(36);
    const int count = static_cast<int>(materialNames().size());
    for (int index = 0; index < count; ++index) {
        auto* material = new QToolButton;
        material->setIcon(materialIcon(index));
        material->setIconSize(QSize(24, 24));
        material->setToolTip(materialNames()[static_cast<size_t>(index)]);
        material->setAccessibleName(materialNames()[static_cast<size_t>(index)]);
        material->setProperty("tag", index);
        material->setObjectName(QString("material%1").arg(index));
        material->setFixedSize(34, 30);
        buttons->addArrangedSubview(material);
    }
    buttons->adjustSize();
    strip->setWidget(buttons);
    materialStrip = strip;
    materialStrip->setObjectName("materialStrip");
    return strip;
}

QWidget* Organizer::buildTransport()
{
    auto* transport = new QWidget;
    auto* layout = row(5);
    transport->setLayout(layout);
    for (const char* name : {"previousClip", "togglePlayback", "nextClip", "playRow", "playAll", "markIn", "markOut"}) {
        layout->addWidget(actionButton(*this, name));
    }
    layout->addStretch(1);
    return transport;
}

QWidget* Organizer::buildTimelinePane()
{
    auto* pane = new InsetPane(timelineAllowance, 100);
    auto* layout = paneColumn(pane);

    auto* header = row(8);
    header->setContentsMargins(6, 0, 6, 0);
    header->addWidget(label("オーガナイザー"));
    header->addWidget(actionButton(*this, "addRow"));
    header->addWidget(label("拡大"));
    zoomSlider = new QSlider(Qt::Horizontal);
    zoomSlider->setObjectName("zoomSlider");
    zoomSlider->setRange(1, 24);
    zoomSlider->setValue(12);
    zoomSlider->setFixedWidth(110);
    header->addWidget(zoomSlider);
    header->addStretch(1);
    layout->addLayout(header);

    timeline = new OrganizerTimeline;
    timeline->setObjectName("timeline");
    timelineScroll = new QScrollArea;
    timelineScroll->setObjectName("timelineScroll");
    timelineScroll->setFrameShape(QFrame::NoFrame);
    timelineScroll->setWidget(timeline);
    pane->follower = timelineScroll;
    timelineScroll->viewport()->installEventFilter(this);
    // The label column is drawn at the visible left edge: repaint it on sideways scrolls.
    QObject::connect(timelineScroll->horizontalScrollBar(), &QScrollBar::valueChanged, timeline,
                     [this] { timeline->update(); });
    layout->addWidget(timelineScroll);

    auto* hint = label("端をドラッグ：長さ変更　／　本体をドラッグ：並べ替え・行移動　／　行名：Enterで変更");
    setPixelFont(hint, 10);
    hint->setStyleSheet("color: #808080;");
    hint->setContentsMargins(6, 0, 6, 0);
    layout->addWidget(hint);
    layout->addStretch(1);
    return pane;
}

} // namespace zanto
