#pragma once
#include <QWidget>

#include <memory>

class QLabel;
class QSlider;
class QTimer;
class QToolButton;

namespace zanto {

class Player;

// The preview of a movie item: the Player's current frame fitted to the view
// on black, and floating over its foot the inline controls: play/pause, a position slider
// over the item's [in, out] with the time elapsed since the in point, and a
// full-screen toggle. Full screen shows the picture alone in its own window;
// Escape or the toggle there returns. Shares the Player with its owner (the
// Organizer), which drives it; the view only plays, pauses and seeks it. GUI
// thread only.
class OrganizerVideoView : public QWidget {
public:
    explicit OrganizerVideoView(std::shared_ptr<Player> player, QWidget* parent = nullptr);
    ~OrganizerVideoView() override;

    // The range the slider covers, in file seconds (the item's in and out
    // points plus its source's offset).
    void setRange(double inSeconds, double outSeconds);

    bool isShowingFullScreen() const { return fullScreenWindow_ != nullptr; }
    void setShowingFullScreen(bool on);

    // Moves the controls into `host`, an ancestor of this view, on top of its
    // children: a view laid over the picture (the drawing overlay) would
    // otherwise take their clicks. They keep following this view's place,
    // size and visibility.
    void setControlsHost(QWidget* host);
    // Keeps the controls clear of the view's rightmost `pixels`, where
    // something else lies over the picture and would take their clicks.
    void setControlsInset(int pixels);

    // The widget the picture is drawn in (moves to the full-screen window).
    QWidget* surface() const { return surface_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refreshControls();
    void placeControls();
    void seekToSlider(int value);

    std::shared_ptr<Player> player_;
    QWidget* surface_ = nullptr;
    QWidget* controls_ = nullptr;
    QToolButton* playPause_ = nullptr;
    QSlider* position_ = nullptr;
    QLabel* elapsed_ = nullptr;
    QToolButton* fullScreen_ = nullptr;
    QTimer* poll_ = nullptr;
    std::unique_ptr<QWidget> fullScreenWindow_;
    double in_ = 0;
    double out_ = 0;
    int controlsInset_ = 0;
};

} // namespace zanto
