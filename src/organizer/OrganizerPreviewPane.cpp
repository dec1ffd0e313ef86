#include "organizer/OrganizerPreviewPane.h"

#include "organizer/Organizer.h"
#include "organizer/OrganizerActions.h"
#include "organizer/OrganizerControls.h"
#include "organizer/OrganizerFlippedStack.h"
#include "organizer/OrganizerImageView.h"
#include "organizer/OrganizerOverlay.h"
#include "organizer/OrganizerRangeBar.h"
#include "organizer/OrganizerVideoView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace zanto {

using namespace controls;

namespace {

// Every layer takes the whole box, later layers on top of earlier ones.
class FillBox : public QWidget {
public:
    using QWidget::QWidget;
    std::vector<QWidget*> layers;

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        for (QWidget* layer : layers) layer->setGeometry(rect());
    }
};

// The black stage: the picture box is the largest 16:9 rectangle that fits,
// centred, and the material strip runs down the stage's right edge. Where the
// strip lies over the picture, the movie's controls end short of it.
class PreviewStage : public QWidget {
public:
    using QWidget::QWidget;
    QWidget* box = nullptr;
    QWidget* strip = nullptr;
    OrganizerVideoView* movie = nullptr;

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
        if (box && strip && movie) {
            // A few points between the last control and the first material,
            // so that a near miss hits neither.
            constexpr int gap = 4;
            const int covered = box->geometry().right() + 1 - strip->geometry().left();
            movie->setControlsInset(covered > 0 ? covered + gap : 0);
        }
    }
};

} // namespace

OrganizerPreviewPane::OrganizerPreviewPane(Organizer& organizer) : OrganizerInsetPane(allowance, 100)
{
    auto* layout = column(this);
    // The split alone decides the pane's size.
    layout->setAlignment(Qt::Alignment());
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    follower = buildStage(organizer);
    layout->addWidget(follower);
    rangeBar_ = new OrganizerRangeBar;
    rangeBar_->setObjectName("rangeBar");
    reportTo(organizer);
    rangeBar_->hide();
    layout->addWidget(rangeBar_);
    layout->addWidget(buildTransport(organizer));
    layout->addStretch(1);
}

void OrganizerPreviewPane::showItem(const std::optional<OrganizerItem>& item)
{
    overlay_->resetSelection();
    overlay_->setMarks(item ? item->marks.value_or(std::vector<OrganizerMark>{}) : std::vector<OrganizerMark>{});
    // Nothing is open: no picture of an item shown before may stay behind the
    // movie, nor key the turf tools of these marks.
    overlay_->setBackground(QImage());
    image_->setImage(QImage());
    movie_->show();
    image_->hide();
    titleView_->hide();
    overlay_->setEditing(false);
    overlay_->update();
}

void OrganizerPreviewPane::showKind(const std::string& kind)
{
    movie_->setVisible(kind == "video");
    image_->setVisible(kind == "image" || kind == "freeze");
    titleView_->setVisible(kind == "title");
}

QWidget* OrganizerPreviewPane::buildStage(Organizer& organizer)
{
    auto* stage = new PreviewStage;
    stage->setObjectName("previewStage");
    stage->setMinimumHeight(100);
    QPalette black;
    black.setColor(QPalette::Window, Qt::black);
    stage->setPalette(black);
    stage->setAutoFillBackground(true);

    auto* box = new FillBox(stage);
    movie_ = new OrganizerVideoView(organizer.player(), box);
    image_ = new OrganizerImageView(box);
    image_->setObjectName("image");
    image_->hide();
    titleView_ = new QLabel(box);
    titleView_->setObjectName("titleView");
    titleView_->setTextFormat(Qt::PlainText);
    titleView_->setWordWrap(true);
    titleView_->setAlignment(Qt::AlignCenter);
    titleView_->setStyleSheet("color: white;");
    setPixelFont(titleView_, 30, true);
    titleView_->hide();
    overlay_ = new OrganizerOverlay(box);
    overlay_->setObjectName("overlay");
    box->layers = {movie_, image_, titleView_, overlay_};
    // The movie's controls go over the drawing overlay, which takes the
    // mouse while drawing.
    movie_->setControlsHost(box);
    stage->box = box;
    stage->movie = movie_;
    stage->strip = buildMaterialStrip(organizer, stage);
    return stage;
}

QWidget* OrganizerPreviewPane::buildMaterialStrip(Organizer& organizer, QWidget* stage)
{
    auto* strip = new QScrollArea(stage);
    strip->setObjectName("materialStrip");
    strip->setFrameShape(QFrame::NoFrame);
    strip->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Scrolls with the wheel when the stage is too low for all buttons.
    strip->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    strip->setStyleSheet("QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }");
    auto* buttons = new OrganizerFlippedStack(3);
    buttons->setFixedWidth(36);
    const std::vector<QString>& names = Organizer::materialNames();
    for (int index = 0; index < static_cast<int>(names.size()); ++index) {
        auto* material = new QToolButton;
        material->setIcon(Organizer::materialIcon(index));
        material->setIconSize(QSize(24, 24));
        material->setToolTip(names[static_cast<size_t>(index)]);
        material->setAccessibleName(names[static_cast<size_t>(index)]);
        material->setProperty("tag", index);
        connectButton(*material, organizer, organizerMaterialCommand(index));
        material->setFixedSize(34, 30);
        buttons->addArrangedSubview(material);
    }
    buttons->adjustSize();
    strip->setWidget(buttons);
    return strip;
}

QWidget* OrganizerPreviewPane::buildTransport(Organizer& organizer)
{
    auto* transport = new QWidget;
    auto* layout = row(5);
    transport->setLayout(layout);
    using C = OrganizerCommand;
    for (const C command :
         {C::previousClip, C::togglePlayback, C::nextClip, C::playRow, C::playAll, C::markIn, C::markOut}) {
        layout->addWidget(actionButton(organizer, command));
    }
    layout->addStretch(1);
    return transport;
}

void OrganizerPreviewPane::reportTo(Organizer& organizer)
{
    rangeBar_->gestures = {
        .editable = [&organizer] { return !organizer.busy() && organizer.selectedVideoIsOpen(); },
        .seek = [&organizer](double seconds) { organizer.seekOpenItem(seconds); },
        .trim =
            [&organizer](double start, double end) {
                organizer.trimTimelineItem(organizer.currentRow(), organizer.table.selectedRow(), start, end);
            },
    };
}

} // namespace zanto
