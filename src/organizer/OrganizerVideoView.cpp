#include "organizer/OrganizerVideoView.h"

#include "platform/media/Player.h"

#include <QHBoxLayout>
#include <QResizeEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QOpenGLContext>
#include <QOpenGLWidget>
#include <QPainter>
#include <QPointer>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <functional>

namespace zanto {

namespace {

constexpr int sliderSteps = 1000;

// A picture fitted and centred on black.
void paintFitted(QWidget& widget, const QImage& frame)
{
    QPainter painter(&widget);
    painter.fillRect(widget.rect(), Qt::black);
    if (frame.isNull()) return;
    QSizeF shown = QSizeF(frame.size()).scaled(QSizeF(widget.size()), Qt::KeepAspectRatio);
    const QRectF target(QPointF((widget.width() - shown.width()) / 2, (widget.height() - shown.height()) / 2), shown);
    painter.drawImage(target, frame);
}

// Draws the Player's latest frame fitted and centred on black, and asks the
// Player for pictures of its own size so that they need no scaling here.
class VideoSurface : public QWidget {
public:
    VideoSurface(Player& player, QWidget* parent) : QWidget(parent), player_(player)
    {
        setObjectName("videoSurface");
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMinimumSize(64, 36);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }

protected:
    void resizeEvent(QResizeEvent*) override { player_.setOutputSize(size() * devicePixelRatioF()); }
    void paintEvent(QPaintEvent*) override
    {
        paintFitted(*this, player_.currentItem() ? player_.latestFrame() : QImage());
    }

private:
    Player& player_;
};

// The same through mpv's OpenGL renderer, which draws the frame fitted into
// the widget's framebuffer itself.
class OpenGLVideoSurface : public QOpenGLWidget {
public:
    OpenGLVideoSurface(Player& player, QWidget* parent) : QOpenGLWidget(parent), player_(player)
    {
        setObjectName("videoSurface");
        setMinimumSize(64, 36);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }
    ~OpenGLVideoSurface() override { leaveContext(); }

protected:
    void initializeGL() override
    {
        player_.useOpenGL(
            [](void*, const char* name) -> void* {
                QOpenGLContext* context = QOpenGLContext::currentContext();
                return context ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
            },
            nullptr);
        // Moving to another window (full screen) may replace the context.
        QObject::connect(
            context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] { leaveContext(); }, Qt::DirectConnection);
    }
    // mpv fits its pictures itself; backward play's are kept at this size.
    void resizeGL(int, int) override { player_.setOutputSize(size() * devicePixelRatioF()); }
    void paintGL() override
    {
        // Backward play's pictures are the Player's own.
        if (const QImage standIn = player_.standInFrame(); !standIn.isNull()) return paintFitted(*this, standIn);
        const qreal ratio = devicePixelRatioF();
        player_.drawOpenGL(int(defaultFramebufferObject()), int(width() * ratio), int(height() * ratio));
    }

private:
    void leaveContext()
    {
        if (!player_.drawsWithOpenGL() || !context()) return;
        makeCurrent();
        player_.useSoftware();
        doneCurrent();
    }

    Player& player_;
};

// Whether this display can give a widget a GL context (not so offscreen).
bool openGLAvailable()
{
    static const bool available = [] {
        QOpenGLContext probe;
        return probe.create();
    }();
    return available;
}

// The full-screen window: the picture alone; Escape asks to return.
class FullScreenWindow : public QWidget {
public:
    explicit FullScreenWindow(std::function<void()> onEscape) : onEscape_(std::move(onEscape))
    {
        setObjectName("videoFullScreenWindow");
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() != Qt::Key_Escape) return QWidget::keyPressEvent(event);
        // Later: returning deletes this window.
        QTimer::singleShot(0, this, onEscape_);
    }

private:
    std::function<void()> onEscape_;
};

QString clockText(double seconds)
{
    const int whole = std::isfinite(seconds) ? std::max(0, int(std::floor(seconds))) : 0;
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

OrganizerVideoView::OrganizerVideoView(std::shared_ptr<Player> player, QWidget* parent)
    : QWidget(parent), player_(std::move(player))
{
    setObjectName("movie");
    if (openGLAvailable())
        surface_ = new OpenGLVideoSurface(*player_, this);
    else
        surface_ = new VideoSurface(*player_, this);
    controls_ = new QWidget(this);
    controls_->setObjectName("videoControls");
    playPause_ = new QToolButton(controls_);
    playPause_->setObjectName("videoPlayPause");
    position_ = new QSlider(Qt::Horizontal, controls_);
    position_->setObjectName("videoPosition");
    position_->setRange(0, sliderSteps);
    elapsed_ = new QLabel(controls_);
    elapsed_->setObjectName("videoElapsed");
    fullScreen_ = new QToolButton(controls_);
    fullScreen_->setObjectName("videoFullScreen");
    fullScreen_->setText(QStringLiteral("全画面"));
    fullScreen_->setToolTip(QStringLiteral("フルスクリーン"));

    auto* row = new QHBoxLayout(controls_);
    row->setContentsMargins(4, 2, 4, 2);
    row->addWidget(playPause_);
    row->addWidget(position_, 1);
    row->addWidget(elapsed_);
    row->addWidget(fullScreen_);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(surface_, 1);
    // The controls float over the foot of the picture rather than below it:
    // the drawing overlay covers the view's whole box, so marks and picture
    // must share that one rectangle, and the controls lie over both.
    controls_->setAttribute(Qt::WA_StyledBackground);
    controls_->setStyleSheet("#videoControls { background: rgba(0, 0, 0, 120); } QLabel { color: white; }");
    controls_->raise();

    QObject::connect(playPause_, &QToolButton::clicked, this, [this] {
        if (player_->rate() == 0)
            player_->play();
        else
            player_->pause();
        refreshControls();
    });
    QObject::connect(position_, &QSlider::sliderMoved, this, [this](int value) { seekToSlider(value); });
    QObject::connect(fullScreen_, &QToolButton::clicked, this, [this] { setShowingFullScreen(true); });

    // The position is polled, as the Player has no periodic observer.
    poll_ = new QTimer(this);
    poll_->setInterval(100);
    QObject::connect(poll_, &QTimer::timeout, this, [this] { refreshControls(); });
    poll_->start();

    QPointer<QWidget> surface = surface_;
    player_->setFrameHandler([surface] {
        if (surface) surface->update();
    });
    refreshControls();
}

OrganizerVideoView::~OrganizerVideoView()
{
    player_->setFrameHandler({});
    // The surface draws with the player until it goes, and this view may
    // hold the player's last reference, which goes before the children do.
    delete surface_;
    surface_ = nullptr;
    // Lifted into a host, the controls outlive this view otherwise.
    delete controls_;
    fullScreenWindow_.reset();
}

void OrganizerVideoView::setRange(double inSeconds, double outSeconds)
{
    in_ = inSeconds;
    out_ = std::max(inSeconds, outSeconds);
    refreshControls();
}

void OrganizerVideoView::seekToSlider(int value)
{
    if (!player_->currentItem()) return;
    player_->seek(MediaTime::fromSeconds(in_ + (out_ - in_) * value / sliderSteps, 60000));
}

void OrganizerVideoView::refreshControls()
{
    const bool hasItem = player_->currentItem() != nullptr;
    playPause_->setEnabled(hasItem);
    position_->setEnabled(hasItem && out_ > in_);
    playPause_->setText(player_->rate() == 0 ? QStringLiteral("▶") : QStringLiteral("Ⅱ"));
    const double now = player_->currentTime();
    elapsed_->setText(clockText(hasItem ? now - in_ : 0));
    if (hasItem && out_ > in_ && !position_->isSliderDown() && std::isfinite(now))
        position_->setValue(int(std::lround(std::clamp((now - in_) / (out_ - in_), 0.0, 1.0) * sliderSteps)));
    if (!hasItem) surface_->update();
}

void OrganizerVideoView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeControls();
}

void OrganizerVideoView::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    placeControls();
}

void OrganizerVideoView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (controls_->parentWidget() != this) controls_->show();
    placeControls();
}

void OrganizerVideoView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (controls_->parentWidget() != this) controls_->hide();
}

void OrganizerVideoView::setControlsHost(QWidget* host)
{
    controls_->setParent(host);
    controls_->setVisible(!isHidden());
    placeControls();
}

void OrganizerVideoView::setControlsInset(int pixels)
{
    if (pixels == controlsInset_) return;
    controlsInset_ = pixels;
    placeControls();
}

void OrganizerVideoView::placeControls()
{
    const int height = controls_->sizeHint().height();
    QWidget* host = controls_->parentWidget();
    const QPoint origin = host == this ? QPoint() : mapTo(host, QPoint());
    controls_->setGeometry(origin.x(), origin.y() + this->height() - height, std::max(0, width() - controlsInset_),
                           height);
    controls_->raise();
}

void OrganizerVideoView::setShowingFullScreen(bool on)
{
    if (on == isShowingFullScreen()) return;
    if (on) {
        fullScreenWindow_ = std::make_unique<FullScreenWindow>([this] { setShowingFullScreen(false); });
        auto* layout = new QVBoxLayout(fullScreenWindow_.get());
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(surface_);
        // The way back stays reachable over the picture.
        auto* back = new QToolButton(fullScreenWindow_.get());
        back->setObjectName("videoFullScreenReturn");
        back->setText(QStringLiteral("全画面を終了"));
        back->move(8, 8);
        QObject::connect(back, &QToolButton::clicked, this, [this] { setShowingFullScreen(false); });
        fullScreenWindow_->showFullScreen();
        back->raise();
        surface_->show();
        return;
    }
    static_cast<QVBoxLayout*>(layout())->insertWidget(0, surface_, 1);
    surface_->show();
    // Coming back put the surface on top of its siblings, over the controls.
    controls_->raise();
    fullScreenWindow_.reset();
}

} // namespace zanto
