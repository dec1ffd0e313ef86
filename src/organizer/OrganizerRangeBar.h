#pragma once
#include "playlist/OrganizerItem.h"

#include <QWidget>

#include <optional>

namespace zanto {

// The trim bar under the preview: shows the range of the video item on show.
// Hidden unless a video item plays. Main thread only.
class OrganizerRangeBar : public QWidget {
public:
    static constexpr int barHeight = 34;

    // What the bar shows, handed over by the Organizer: the item on show.
    struct State {
        std::optional<OrganizerItem> item;
    };

    explicit OrganizerRangeBar(QWidget* parent = nullptr);

    void setState(State state);
    const State& state() const { return state_; }

private:
    State state_;
};

} // namespace zanto
