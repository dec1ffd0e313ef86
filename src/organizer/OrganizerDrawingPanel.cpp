// The Organizer's side of drawing: the overlay's callbacks, the drawing timer
// and the drawing panel's commands.
#include "organizer/Organizer.h"

#include "organizer/OrganizerInspectorPane.h"
#include "organizer/OrganizerPreviewPane.h"
#include "organizer/OrganizerOverlay.h"
#include "organizer/OrganizerTimelinePane.h"
#include "organizer/model/OrganizerEdits.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace zanto {

namespace {

constexpr int drawingTickMilliseconds = 100;
const char* const chooseAMark = "「選択／移動」で描画を選んでください。";

bool showsGround(const std::vector<OrganizerMark>& marks)
{
    return std::any_of(marks.begin(), marks.end(),
                       [](const OrganizerMark& mark) { return mark.gxl && mark.gxl->ground(); });
}

} // namespace

void Organizer::installDrawing()
{
    OrganizerOverlay& view = overlay();
    const QPointer<Organizer> self(this);
    view.onSelect = [self](const std::optional<GXLSettings>& settings) {
        if (self && settings) self->inspector_->showDrawingStyle(*settings);
    };
    view.onError = [self](const QString& text) {
        if (self) self->message(text);
    };
    view.onChange = [self](const std::vector<OrganizerMark>& marks) {
        if (self) self->overlayChanged(marks);
    };
    jobs_->runningChanged = [self](bool running) {
        if (!self) return;
        self->overlay().setBusy(running);
        self->timelinePane_->timeline().setBusy(running);
    };
    // Never stopped: each tick looks whether there is anything to do.
    gxlTimer_ = new QTimer(this);
    gxlTimer_->setObjectName("gxlTimer");
    connect(gxlTimer_, &QTimer::timeout, this, &Organizer::drawingTick);
    gxlTimer_->start(drawingTickMilliseconds);
}

OrganizerOverlay& Organizer::overlay() const
{
    return preview_->overlay();
}

std::optional<OrganizerItem> Organizer::drawingTarget() const
{
    if (const OrganizerItem* onShow = playback_->itemOnShow()) return *onShow;
    return selectedItem();
}

void Organizer::overlayChanged(const std::vector<OrganizerMark>& marks)
{
    if (busy()) return;
    if (const std::optional<OrganizerItem> target = drawingTarget()) storeMarks(*target, marks);
}

void Organizer::storeMarks(const OrganizerItem& target, const std::vector<OrganizerMark>& marks)
{
    if (commit(edits::settingMarks(playlist(), target.id, marks), {}, {}, CommitViews::kept)) {
        playback_->setMarks(target.id, marks);
    }
}

void Organizer::drawingTick()
{
    if (!window_->isVisible()) return;
    const OrganizerItem* onShow = playback_->itemOnShow();
    if (!onShow) return;
    const OrganizerItem& item = *onShow;
    OrganizerOverlay& view = overlay();
    if (item.kind == "freeze") {
        const auto started = playback_->freezeStarted();
        const auto running =
            started ? std::chrono::steady_clock::now() - *started : std::chrono::steady_clock::duration::zero();
        view.setSeconds(std::chrono::duration<double>(running).count());
        view.update();
        return;
    }
    const double t = playback_->readTime();
    const OrganizerSource* source = playlist().source(item.sourceID);
    if (std::isfinite(t)) view.setSeconds(std::max(0.0, t - item.start - (source ? source->offset : 0)));
    // The background test first: the marks are looked at only with a picture.
    if (view.background().isNull() || showsGround(view.marks())) {
        QImage frame = playback_->readFrame();
        if (!frame.isNull()) view.setBackground(std::move(frame));
    }
    view.update();
}

void Organizer::gxlSettingsChanged()
{
    OrganizerOverlay& view = overlay();
    if (busy() || !view.editing()) return;
    const GXLSettings style = inspector_->drawingStyle();
    view.gxlColor = style.color;
    view.gxlSize = style.size;
    view.gxlPerspective = style.perspective;
    view.gxlOpacity = style.opacity;
    view.gxlSpeed = style.speed;
    const std::optional<int> selected = view.selectedMark();
    if (!selected || *selected >= static_cast<int>(view.marks().size())) return;
    std::vector<OrganizerMark> marks = view.marks();
    std::optional<GXLSettings>& settings = marks[static_cast<size_t>(*selected)].gxl;
    if (!settings) return;
    settings->color = style.color;
    settings->size = style.size;
    settings->perspective = style.perspective;
    settings->opacity = style.opacity;
    settings->speed = style.speed;
    view.setMarks(marks);
    if (view.onChange) view.onChange(view.marks());
}

void Organizer::deleteSelectedMark()
{
    OrganizerOverlay& view = overlay();
    const std::optional<int> selected = view.selectedMark();
    if (busy() || !view.editing() || !selected || *selected >= static_cast<int>(view.marks().size())) {
        message(chooseAMark);
        return;
    }
    std::vector<OrganizerMark> marks = view.marks();
    marks.erase(marks.begin() + *selected);
    view.setMarks(std::move(marks));
    view.resetSelection();
    if (view.onChange) view.onChange(view.marks());
}

void Organizer::undoMark()
{
    if (busy()) return;
    std::optional<OrganizerItem> target = drawingTarget();
    if (!target) return;
    // The playlist's own copy, when there is one, holds the marks to shorten.
    if (const OrganizerItem* own = edits::itemWithId(playlist(), target->id)) target = *own;
    std::vector<OrganizerMark> marks = target->marks.value_or(std::vector<OrganizerMark>{});
    if (!marks.empty()) marks.pop_back();
    OrganizerOverlay& view = overlay();
    view.resetSelection();
    view.setMarks(marks);
    storeMarks(*target, marks);
}

} // namespace zanto
