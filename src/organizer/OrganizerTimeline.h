#pragma once
#include "organizer/OrganizerCommand.h"
#include "playlist/OrganizerDocument.h"

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <set>
#include <utility>
#include <vector>

class QPainter;
class QTimer;

namespace zanto {

// The multi-row timeline: one 27-point lane per playlist row, one block per
// item laid back to back (a block's place depends only on the widths of the
// blocks before it), and a label column pinned to the left edge of the
// visible area. It shows the State the Organizer hands it on every reload and
// selection change, reads nothing else, and reports what the user does
// through its Gestures.
// y grows downwards: row 0 is at the top. Main thread only.
class OrganizerTimeline : public QWidget {
public:
    static constexpr double labelWidth = 220;
    static constexpr double rowHeight = 27;

    // A press in progress on a block: edge -1 left, 1 right, 0 body.
    struct Gesture {
        int row = 0;
        int item = 0;
        QPointF origin;
        QRectF rect;
        double start = 0;
        double end = 0;
        int edge = 0;
    };
    // Where moved items would go: before `index` of `row`.
    struct Drop {
        int row = 0;
        int index = 0;
    };
    // What lies under a point: a row, and the block there if any.
    struct Hit {
        int row = 0;
        std::optional<int> item;
        bool operator==(const Hit&) const = default;
    };

    // What the view shows: the playlist's rows, the row on show in the row
    // pop-up and the item table's selection in that row, with its most
    // recently selected line (-1 for none), where a Shift press starts.
    struct State {
        std::vector<OrganizerRow> rows;
        int currentRow = 0;
        std::set<int> selection;
        int selectedRow = -1;
    };

    // What the user does, as the view reports it. Unset: nothing is reported.
    struct Gestures {
        // A press that replaces the selection: `row` becomes the current row
        // and its `item` (or no item) the selection.
        std::function<void(int row, std::optional<int> item)> select;
        // A Ctrl or Shift press in the current row: exactly these items.
        std::function<void(const std::set<int>& items)> selectItems;
        // A body drag released over `to`.
        std::function<void(int row, int item, Drop to)> move;
        // An edge drag released with the range it proposes.
        std::function<void(int row, int item, double start, double end)> trim;
        // A secondary press: the row's menu or its items' menu.
        std::function<void(OrganizerMenu menu)> openMenu;
        // A double press or a key that stands for a command.
        std::function<void(OrganizerCommand command)> command;
    };

    explicit OrganizerTimeline(QWidget* parent = nullptr);

    // Shows `state` and refreshes. Until the first state the view lays out,
    // draws and hits nothing.
    void setState(State state);
    const std::optional<State>& state() const { return state_; }
    // Points per second of item length.
    double scale = 12;

    std::optional<Gesture> gesture;
    std::optional<Drop> drop;
    std::optional<std::pair<double, double>> trimPreview;

    // Sizes the view from the playlist and the visible area, then redraws.
    void refresh();
    double itemWidth(const OrganizerItem& item) const;
    // Block rectangles of a row, in item order; empty for a row that is not there.
    std::vector<QRectF> rects(int row) const;
    std::optional<Hit> hit(const QPointF& point) const;
    // The cursor over a point: resize at a block's 7-point edges, open hand
    // over its body, the arrow elsewhere.
    Qt::CursorShape cursorAt(const QPointF& point) const;
    // The part of the view that the enclosing scroll area shows.
    QRectF visibleRect() const;
    // The label a block shows when no trim is in progress.
    static QString blockLabel(int index, const OrganizerItem& item);

    // --- Editing with the mouse and keys ---
    Gestures gestures;
    // While a save or export runs, presses, drags and secondary presses are
    // ignored; keys still report.
    void setBusy(bool busy);
    // Drops the gesture, the drop mark and the trim preview; nothing is committed.
    void cancelGesture();
    // The press edge zone and the move threshold, in points.
    static constexpr double pressEdge = 8;
    static constexpr double moveThreshold = 4;
    // --- End of editing ---

    void text(QPainter& painter, const QString& string, const QRectF& rect, const QColor& color = Qt::white,
              bool bold = false) const;
    void invalidateCursorRects();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void drawRow(QPainter& painter, int row, const QRectF& exposed) const;
    void drawBlock(QPainter& painter, int row, int index, const OrganizerItem& item, const QRectF& block,
                   bool selected) const;
    void drawLabelColumn(QPainter& painter, int row) const;
    void drawDrop(QPainter& painter) const;
    double rightEnd(int row) const;
    QSizeF visibleSize() const;

    // Editing (OrganizerTimelineMouse.cpp).
    void press(const QMouseEvent& event, int clicks);
    void rightPress(const QPointF& point);
    void drag(const QPointF& point);
    void release();
    void autoscroll();
    bool selects(const Hit& where) const;

    std::optional<State> state_;
    bool busy_ = false;
    QTimer* autoscrollTimer_ = nullptr;
    // Where the pointer last dragged, on the screen: the autoscroll timer
    // drags there again while it rests outside the visible area.
    QPointF lastDrag_;
};

} // namespace zanto
