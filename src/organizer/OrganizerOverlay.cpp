#include "organizer/OrganizerOverlay.h"

#include "marks/GXLEngine.h"
#include "marks/OrganizerMarkDrawing.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <exception>

namespace zanto {

namespace {

constexpr double editingRenderSeconds = 1.2;
constexpr double handleSize = 8;
const QColor handleFill(0x00, 0x7A, 0xFF);

QImage defaultRender(const std::vector<OrganizerMark>& marks, const QImage& background, double seconds)
{
    return soccerFrame(marks, background, seconds, true);
}

} // namespace

OrganizerOverlay::OrganizerOverlay(QWidget* parent, Renderer renderer)
    : QWidget(parent), renderer_(renderer ? std::move(renderer) : Renderer(defaultRender))
{
    // Clear over the picture; presses reach the overlay only while editing.
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    renderThread_ = new QThread;
    renderThread_->setObjectName("zanto.preview.draw");
    renderContext_ = new QObject;
    renderContext_->moveToThread(renderThread_);
    QObject::connect(renderThread_, &QThread::finished, renderContext_, &QObject::deleteLater);
    QObject::connect(renderThread_, &QThread::finished, renderThread_, &QObject::deleteLater);
    renderThread_->start(QThread::HighPriority);
}

OrganizerOverlay::~OrganizerOverlay()
{
    // A render in flight is let finish before the overlay goes: the process
    // may be ending, and the GPU and painting libraries must not be torn down
    // under it. Its completion then finds the overlay gone; the thread deletes
    // itself.
    renderThread_->quit();
    renderThread_->wait();
}

void OrganizerOverlay::setMarks(std::vector<OrganizerMark> marks)
{
    marks_ = std::move(marks);
    if (selectedMark_ && *selectedMark_ >= static_cast<int>(marks_.size())) selectedMark_.reset();
    ++revision_;
    update();
}

void OrganizerOverlay::setEditing(bool editing)
{
    editing_ = editing;
    setAttribute(Qt::WA_TransparentForMouseEvents, !editing);
    ++revision_;
    update();
}

void OrganizerOverlay::setSeconds(double seconds)
{
    if (seconds == seconds_) return;
    seconds_ = seconds;
    ++revision_;
}

void OrganizerOverlay::setBackground(QImage background)
{
    background_ = std::move(background);
    ++revision_;
}

void OrganizerOverlay::setBusy(bool busy)
{
    busy_ = busy;
    if (busy) cancelGesture();
}

void OrganizerOverlay::setSelectedMark(std::optional<int> index)
{
    if (index && (*index < 0 || *index >= static_cast<int>(marks_.size()))) index.reset();
    selectedMark_ = index;
    update();
}

void OrganizerOverlay::resetSelection()
{
    ++epoch_;
    selectedMark_.reset();
    moving_.reset();
    origin_.reset();
    cached_ = QImage();
    ++revision_;
    update();
}

bool OrganizerOverlay::hasTelestration() const
{
    return std::any_of(marks_.begin(), marks_.end(), [](const OrganizerMark& mark) { return mark.gxl.has_value(); });
}

void OrganizerOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!hasTelestration()) {
        drawOrganizerMarks(marks_, QRectF(rect()), painter);
    } else {
        if (!rendering_ && renderedRevision_ != revision_) startRender();
        if (!cached_.isNull()) painter.drawImage(QRectF(rect()), cached_);
    }
    drawHandles(painter);
}

void OrganizerOverlay::startRender()
{
    rendering_ = true;
    const double seconds = editing_ ? std::max(editingRenderSeconds, seconds_) : seconds_;
    const QPointer<OrganizerOverlay> self(this);
    auto done = [self, epoch = epoch_, revision = revision_](const Outcome& outcome) {
        if (self) self->finishRender(outcome, epoch, revision);
    };
    auto job = [renderer = renderer_, marks = marks_, background = background_, seconds, done] {
        Outcome outcome;
        try {
            outcome.picture = renderer(marks, background, seconds);
        } catch (const std::exception& error) {
            outcome.error = QString::fromUtf8(error.what());
        } catch (...) {
            outcome.error = QStringLiteral("描画を合成できません。");
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [done, outcome] { done(outcome); }, Qt::QueuedConnection);
    };
    QMetaObject::invokeMethod(renderContext_, job, Qt::QueuedConnection);
}

void OrganizerOverlay::finishRender(const Outcome& outcome, std::int64_t epoch, std::int64_t revision)
{
    rendering_ = false;
    if (epoch == epoch_) {
        renderedRevision_ = revision;
        if (outcome.error) {
            if (*outcome.error != lastError_) {
                lastError_ = *outcome.error;
                if (onError) onError(lastError_);
            }
        } else {
            cached_ = outcome.picture;
            lastError_.clear();
        }
    }
    update();
}

void OrganizerOverlay::drawHandles(QPainter& painter) const
{
    if (!editing_ || !selectedMark_ || *selectedMark_ >= static_cast<int>(marks_.size())) return;
    const OrganizerMark& mark = marks_[static_cast<size_t>(*selectedMark_)];
    std::vector<GXLPoint> points;
    if (mark.gxl) {
        points = mark.gxl->points;
    } else {
        points.push_back(GXLPoint{mark.x, mark.y});
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(handleFill);
    for (const GXLPoint& point : points) {
        const QPointF centre(point.x * width(), (1 - point.y) * height());
        painter.drawEllipse(centre, handleSize / 2, handleSize / 2);
    }
}

} // namespace zanto
