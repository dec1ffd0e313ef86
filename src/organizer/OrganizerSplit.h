#pragma once
#include <QString>
#include <QWidget>

#include <optional>

namespace zanto {

// Two panes side by side (isVertical) or stacked, with one 7-point divider
// between them whose place is kept as a ratio of the split's length. The panes
// are the split's children in the order they were added; the split sets their
// frames itself and lays out nothing unless it has exactly two.
// The divider is dragged through a handle child laid over it, 2 points wider
// on every side so that it wins over the panes near it; the resize cursor shows
// over the divider itself. A drag stores the ratio under the autosave name
// when it ends; placements from code store nothing. While collapsed the
// divider takes no clicks and shows no cursor.
// Main thread only, like every widget.
class OrganizerSplit : public QWidget {
public:
    static constexpr int dividerThickness = 7;

    explicit OrganizerSplit(QWidget* parent = nullptr);

    bool isVertical = true;

    // The first call gives the first pane, the second call the second pane.
    void addArrangedSubview(QWidget* view);

    // Setting the name reads the ratio saved under it, when there is one that
    // is a finite number (clamped to 0.2 ... 0.85). It never writes.
    void setAutosaveName(const QString& name);
    const std::optional<QString>& autosaveName() const { return autosaveName_; }

    double ratio() const { return ratio_; }
    bool collapsed() const { return collapsed_; }
    bool dragging() const { return dragging_; }
    void setCollapsed(bool collapsed);

    // Moves the divider to `position` (along the split's axis); the ratio is
    // kept within 0.15 ... 0.85. The index is ignored: there is one divider.
    void setPosition(double position, int dividerIndex);

    // The divider's leading or top edge, bounded by the panes' minimum sizes.
    double dividerPosition() const;
    QRectF dividerRect() const;

    // Places the panes at once.
    void layoutPanes();

    // A press on the divider's handle starts a drag, each move places the
    // divider at the pointer, the release ends it and stores the ratio.
    void beginDrag();
    void dragTo(const QPointF& point);
    void endDrag();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    double length() const;

    std::optional<QString> autosaveName_;
    double ratio_ = 0.65;
    bool collapsed_ = false;
    bool dragging_ = false;
    QWidget* handle_ = nullptr;
};

} // namespace zanto
