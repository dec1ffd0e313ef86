#pragma once
#include "marks/OrganizerMark.h"

#include <QImage>
#include <QPointF>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QThread;

namespace zanto {

// The drawing overlay over the picture: it lies exactly over the 16:9 picture,
// so that its normalised coordinates are the picture's, shows the marks of the
// item on show and, while editing, lets the user select and move them.
//
// Plain marks are drawn directly at the view's size. As soon as one mark is a
// telestration (GXL) mark, the whole list is rendered off the GUI thread on the
// 1280 x 720 mark canvas and the last finished picture is drawn scaled; paint
// never waits for a render. Renders start only from paint, when the revision
// moved on, and at most one is in flight: changes during a render fold into
// one later render. A render started before resetSelection() is dropped.
//
// Marks are y-up (origin bottom left); the overlay turns them into widget
// coordinates itself. Main thread only; the renderer runs on the overlay's own
// serial worker thread "zanto.preview.draw" with copies of everything it needs.
class OrganizerOverlay : public QWidget {
public:
    // Renders marks over a transparent 1280 x 720 canvas at a time in
    // seconds; a null background means none. Throws on failure (its what()
    // is the message reported). Runs on the worker thread.
    using Renderer =
        std::function<QImage(const std::vector<OrganizerMark>& marks, const QImage& background, double seconds)>;

    // Without a renderer, soccerFrame(marks, background, seconds, true) draws.
    explicit OrganizerOverlay(QWidget* parent = nullptr, Renderer renderer = {});
    ~OrganizerOverlay() override;

    // Each assignment raises the revision and redraws; a selection that no
    // longer indexes the list is cleared.
    const std::vector<OrganizerMark>& marks() const { return marks_; }
    void setMarks(std::vector<OrganizerMark> marks);

    // Drawing mode: only then does the overlay take the mouse and show
    // handles, and renders run at 1.2 s at least. Raises the revision.
    bool editing() const { return editing_; }
    void setEditing(bool editing);

    // Item time of the telestration animation. Raises the revision only when
    // the value changes; does not redraw (the owner calls update()).
    double seconds() const { return seconds_; }
    void setSeconds(double seconds);

    // The item's current video frame, which keys the turf tools; null for
    // none. Every assignment raises the revision; does not redraw.
    const QImage& background() const { return background_; }
    void setBackground(QImage background);

    // While busy, presses are refused, and a gesture under way is undone, so
    // that no edit looks applied that the owner would not store.
    bool busy() const { return busy_; }
    void setBusy(bool busy);

    // The drawing panel's style, copied by the owner into the selected mark.
    std::vector<double> gxlColor{0.1, 0.6, 1.0, 1.0};
    double gxlSize = 90;
    double gxlPerspective = 35;
    double gxlOpacity = 85;
    double gxlSpeed = 1;

    std::optional<int> selectedMark() const { return selectedMark_; }
    // Selects mark `index` (none when it indexes no mark) and redraws.
    void setSelectedMark(std::optional<int> index);

    // Starts a new epoch for another item or drawing state: forgets the
    // selection, the gesture and the picture, and redraws. The point being
    // moved, a render in flight and the last error are kept.
    void resetSelection();

    // On every press: the selected mark's settings (none for nothing or a
    // plain mark). The owner loads them into its controls.
    std::function<void(const std::optional<GXLSettings>&)> onSelect;
    // A failed preview render, once per distinct message until a success.
    std::function<void(const QString&)> onError;
    // On the release of a press that hit a mark, moved or not: the whole list.
    std::function<void(const std::vector<OrganizerMark>&)> onChange;

    // The render machine's state, read by tests and benchmarks.
    std::int64_t revision() const { return revision_; }
    std::int64_t renderedRevision() const { return renderedRevision_; }
    bool rendering() const { return rendering_; }
    const QImage& cached() const { return cached_; }
    std::optional<int> movingPoint() const { return movingPoint_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct Outcome {
        QImage picture;
        std::optional<QString> error;
    };

    bool hasTelestration() const;
    void startRender();
    void finishRender(const Outcome& outcome, std::int64_t epoch, std::int64_t revision);
    void drawHandles(QPainter& painter) const;

    // Mouse editing (OrganizerOverlayEditing.cpp).
    QPointF viewPoint(const QPointF& widgetPoint) const;
    double safeWidth() const;
    double safeHeight() const;
    bool hits(const OrganizerMark& mark, QPointF n) const;
    std::optional<int> nearestPoint(const OrganizerMark& mark, QPointF n) const;
    void cancelGesture();

    std::vector<OrganizerMark> marks_;
    bool editing_ = false;
    std::optional<int> selectedMark_;
    double seconds_ = 0;
    QImage background_;
    bool busy_ = false;

    std::int64_t epoch_ = 0;
    std::int64_t revision_ = 0;
    std::int64_t renderedRevision_ = -1;
    bool rendering_ = false;
    QImage cached_;
    QString lastError_;
    Renderer renderer_;
    // Serial: one thread, one job at a time. Not a child of the overlay: the
    // overlay's end waits for a render in flight, then the thread deletes
    // itself.
    QThread* renderThread_ = nullptr;
    QObject* renderContext_ = nullptr;

    std::optional<int> movingPoint_;
    std::optional<OrganizerMark> moving_;
    // Press position in view points, y up.
    std::optional<QPointF> origin_;
};

} // namespace zanto
