#pragma once
#include "organizer/OrganizerInsetPane.h"
#include "organizer/OrganizerTimeline.h"

class QScrollArea;

namespace zanto {

class Organizer;
class OrganizerSlider;

// The timeline pane: a header with the "＋ 行" button and the zoom slider,
// the timeline in its scroll area, and the hint line. It owns these views.
class OrganizerTimelinePane : public OrganizerInsetPane {
public:
    // What the pane keeps for its header and hint.
    static constexpr int allowance = 55;

    explicit OrganizerTimelinePane(Organizer& organizer);
    ~OrganizerTimelinePane() override;

    OrganizerTimeline& timeline() const { return *timeline_; }
    // The zoom slider's value, 1 to 24 points per second.
    double zoom() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Hands the timeline's gestures to the commands of `organizer`.
    void reportTo(Organizer& organizer);

    OrganizerSlider* zoomSlider_ = nullptr;
    QScrollArea* timelineScroll_ = nullptr;
    OrganizerTimeline* timeline_ = nullptr;
};

} // namespace zanto
