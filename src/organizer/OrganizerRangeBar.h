#pragma once
#include <QPointer>
#include <QWidget>

namespace zanto {

class Organizer;

// The trim bar under the preview: shows the range of the video item on show.
// Hidden unless a video item plays. Main thread only.
class OrganizerRangeBar : public QWidget {
public:
    static constexpr int barHeight = 34;

    explicit OrganizerRangeBar(QWidget* parent = nullptr);

    // The Organizer whose item is shown; held weakly.
    QPointer<Organizer> owner;
};

} // namespace zanto
