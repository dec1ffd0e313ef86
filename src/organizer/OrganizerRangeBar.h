#pragma once
#include "playlist/OrganizerItem.h"

#include <QWidget>

#include <functional>
#include <optional>
#include <utility>

namespace zanto {

// The trim bar under the preview: the in and out points of the video item on
// show, in a window of ten seconds around the item. All times are item times
// (before the source's offset). Hidden unless a video item is on show. Main
// thread only.
class OrganizerRangeBar : public QWidget {
public:
    static constexpr int barHeight = 34;

    explicit OrganizerRangeBar(QWidget* parent = nullptr);

    // Sets the bar to `item` within a file of `duration` seconds: the window
    // runs from ten seconds before its start (not before 0) to ten seconds
    // after its end (not past the duration), at least one second wide.
    // Clears any proposed range.
    void configure(const OrganizerItem& item, double duration);

    // Seconds to a position in the view and back, 8 points in from either
    // side; time() clamps to the window.
    double x(double seconds) const;
    double time(double x) const;

    double start() const { return start_; }
    double end() const { return end_; }
    double lower() const { return lower_; }
    double upper() const { return upper_; }

    // The range a handle drag proposes, drawn instead of the item's own.
    const std::optional<std::pair<double, double>>& preview() const { return preview_; }
    void setPreview(std::optional<std::pair<double, double>> preview);

    // --- Editing with the mouse ---
    // What the user does, as the bar reports it. Without `editable` the bar only shows.
    struct Gestures {
        // Whether a press may edit now: no save or export runs, and the item
        // selected is the video item on show.
        std::function<bool()> editable;
        // A press away from the handles: the player goes to `seconds` of the item.
        std::function<void(double seconds)> seek;
        // A handle drag released with the range it proposes.
        std::function<void(double start, double end)> trim;
    };
    Gestures gestures;
    // What the press holds: -1 the in handle, 1 the out handle, 0 nothing.
    int edge = 0;
    // A press strictly nearer than this to a handle grabs it.
    static constexpr double grabDistance = 9;
    // Drops a handle drag in progress; nothing is committed.
    void cancelEdge();
    // --- End of editing ---

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    double start_ = 0;
    double end_ = 1;
    double lower_ = 0;
    double upper_ = 1;
    std::optional<std::pair<double, double>> preview_;
};

} // namespace zanto
