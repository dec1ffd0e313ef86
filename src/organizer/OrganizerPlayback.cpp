#include "organizer/OrganizerPlayback.h"

#include "organizer/OrganizerImageView.h"
#include "organizer/OrganizerOverlay.h"
#include "organizer/OrganizerPreviewPane.h"
#include "organizer/OrganizerRangeBar.h"
#include "organizer/OrganizerStill.h"
#include "organizer/OrganizerVideoView.h"
#include "platform/UserFileError.h"
#include "platform/media/Player.h"
#include "playlist/OrganizerExporterPicture.h"

#include <QLabel>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace zanto {

namespace {

// Seconds as media time at the player's scale.
MediaTime at(double seconds)
{
    return MediaTime::fromSeconds(seconds, 60000);
}

// A video item may end this far past its file's end (the last frame's rounding).
constexpr double sourceTolerance = 0.02;

} // namespace

OrganizerPlayback::OrganizerPlayback(const PlayerOptions& options, Hooks hooks, QObject* parent)
    : QObject(parent), hooks_(std::move(hooks)), player_(std::make_shared<Player>(options))
{
    // Shared with the player: no copy of the pixels.
    reading_ = {[player = player_.get()] { return player->currentTime(); },
                [player = player_.get()] { return player->latestFrame(); }};
    stillTimer_ = new QTimer(this);
    stillTimer_->setSingleShot(true);
    // A fired timer is inactive again, so that a still that has run its
    // length never counts as running.
    connect(stillTimer_, &QTimer::timeout, this, [this] { next(); });
    player_->setEndHandler([this](uint64_t itemId) { itemReachedEnd(itemId); });
    player_->setFailureHandler([this](uint64_t itemId) { itemFailed(itemId); });
}

OrganizerPlayback::~OrganizerPlayback()
{
    // The movie view keeps the player until the window goes.
    player_->setEndHandler({});
    player_->setFailureHandler({});
}

void OrganizerPlayback::showIn(OrganizerPreviewPane& preview)
{
    preview_ = &preview;
}

const OrganizerItem* OrganizerPlayback::itemOnShow() const
{
    if (playing_ < 0 || playing_ >= static_cast<int>(queue_.size())) return nullptr;
    return &queue_[static_cast<size_t>(playing_)];
}

bool OrganizerPlayback::stillRunning() const
{
    return stillTimer_->isActive();
}

void OrganizerPlayback::message(const QString& text)
{
    lastMessage_ = text;
    if (hooks_.message) hooks_.message(text);
}

void OrganizerPlayback::stop()
{
    freezeStarted_.reset();
    generation_ += 1;
    player_->pause();
    player_->replaceCurrentItem(nullptr);
    stillTimer_->stop();
    queue_.clear();
    lastMessage_.clear();
}

void OrganizerPlayback::begin(std::vector<OrganizerItem> items, bool autoplay)
{
    stop();
    preview_->overlay().setEditing(false);
    unreadRun_.clear();
    if (items.empty()) return;
    queue_ = std::move(items);
    playing_ = 0;
    showCurrent(autoplay);
}

void OrganizerPlayback::showCurrent(bool autoplay)
{
    const OrganizerItem* onShow = itemOnShow();
    if (!onShow) return;
    if (!namingRun_) unreadRun_.clear();
    generation_ += 1;
    stillTimer_->stop();
    player_->pause();
    const OrganizerItem item = *onShow;
    freezeStarted_.reset();

    OrganizerOverlay& overlay = preview_->overlay();
    overlay.resetSelection();
    overlay.setEditing(!autoplay);
    OrganizerRangeBar& bar = preview_->rangeBar();
    bar.setVisible(item.kind == "video");
    bar.configure(item, item.end + 10);
    overlay.setMarks(item.marks.value_or(std::vector<OrganizerMark>{}));
    preview_->showKind(item.kind);
    message(QString::number(playing_ + 1) + "/" + QString::number(queue_.size()) + " "
            + QString::fromStdString(item.name) + " — " + QString::fromStdString(item.note));
    if (item.kind == "video")
        showVideo(item, autoplay);
    else
        showStill(item, autoplay);
}

void OrganizerPlayback::showVideo(const OrganizerItem& item, bool autoplay)
{
    const OrganizerSource* source = hooks_.document().source(item.sourceID);
    const QString reconnect = "映像を再接続してください：" + QString::fromStdString(item.name);
    if (!source || source->path.empty()) {
        stop();
        return message(reconnect);
    }
    const double offset = source->offset;
    PlayerItemRef opened;
    double duration = 0;
    try {
        // Nothing for a missing file, a folder, a pipe or a device.
        opened = Player::open(source->path);
        if (!opened) {
            stop();
            return message(reconnect);
        }
        duration = opened->durationSeconds();
    } catch (const std::exception&) {
        return unreadable(source->path);
    }
    const double lo = item.start + offset;
    const double hi = item.end + offset;
    // A file cut short before the item would play black for its length;
    // whatever length FFmpeg gives the rest, the movie is damaged.
    if (opened->asset.dataEnd && lo >= opened->asset.dataEnd->seconds()) return unreadable(source->path);
    if (lo < 0 || hi > duration + sourceTolerance) {
        stop();
        return message("映像の範囲外です。区間または補正秒を確認してください。");
    }
    preview_->rangeBar().configure(item, std::max(item.end, duration - offset));
    preview_->overlay().setBackground(QImage());
    player_->setEndTimes(at(lo), at(hi));
    player_->replaceCurrentItem(opened, at(lo));
    preview_->movie().setRange(lo, hi);
    player_->seek(at(lo), [self = QPointer<OrganizerPlayback>(this), token = generation_, autoplay](bool finished) {
        if (!finished || !self || token != self->generation_) return;
        if (autoplay) self->player_->play();
    });
}

void OrganizerPlayback::showStill(const OrganizerItem& item, bool autoplay)
{
    player_->replaceCurrentItem(nullptr);
    // Whatever follows, the last item's picture must neither stay on show
    // nor key the drawing tools of this one.
    OrganizerOverlay& overlay = preview_->overlay();
    OrganizerImageView& image = preview_->image();
    image.setImage(QImage());
    overlay.setBackground(QImage());
    const QString name = QString::fromStdString(item.name);
    if (item.kind == "freeze") {
        QImage still;
        try {
            still = freezeImage(item, hooks_.document());
        } catch (const std::exception& error) {
            overlay.update();
            return message(QString::fromUtf8(error.what()));
        }
        image.setImage(still);
        overlay.setBackground(still);
        overlay.setEditing(!autoplay);
        if (autoplay) freezeStarted_ = std::chrono::steady_clock::now();
    } else if (item.kind == "image") {
        QSizeF size;
        const std::optional<QImage> picture = slides::loadPicture(item.imagePath, size);
        if (!picture) {
            stop();
            return message("画像が見つかりません：" + name);
        }
        image.setImage(*picture);
        overlay.setBackground(*picture);
    } else {
        preview_->titleView().setText(name + "\n\n" + QString::fromStdString(item.note));
    }
    overlay.update();
    if (autoplay) startStillTimer(item);
}

void OrganizerPlayback::startStillTimer(const OrganizerItem& item)
{
    const double milliseconds = std::max(0.0, (item.end - item.start) * 1000);
    stillTimer_->start(static_cast<int>(std::min(milliseconds, 2e9)));
}

void OrganizerPlayback::next()
{
    playing_ += 1;
    if (playing_ < static_cast<int>(queue_.size())) return showCurrent(true);
    if (hooks_.loops() && !queue_.empty()) {
        playing_ = 0;
        return showCurrent(true);
    }
    player_->pause();
    // A freeze that ended the queue no longer runs.
    freezeStarted_.reset();
    playing_ = std::max(0, static_cast<int>(queue_.size()) - 1);
    message("連続再生が完了しました。");
}

void OrganizerPlayback::showAt(int index, bool autoplay)
{
    playing_ = index;
    showCurrent(autoplay);
}

void OrganizerPlayback::itemReachedEnd(uint64_t itemId)
{
    const PlayerItemRef current = player_->currentItem();
    if (current && current->id == itemId) next();
}

void OrganizerPlayback::itemFailed(uint64_t itemId)
{
    const PlayerItemRef current = player_->currentItem();
    if (current && current->id == itemId) unreadable(current->path);
}

// A movie that cannot be read (cut short, damaged, not a movie) is named in
// the status line, and play goes on as after any item. The sentence names
// every movie of the run, also those of the items after it that failed at
// once, and stays over the next item's line (or the end of the queue's),
// which would otherwise hide it at once. The items after it are shown from
// here in turn, so that the run is named once, by its first failure.
void OrganizerPlayback::unreadable(const std::filesystem::path& path)
{
    unreadRun_.push_back(path);
    if (namingRun_) {
        failedAgain_ = true;
        return;
    }
    namingRun_ = true;
    do {
        failedAgain_ = false;
        if (unreadRun_.size() >= queue_.size() && hooks_.loops()) {
            stop();
            break;
        }
        next();
    } while (failedAgain_);
    namingRun_ = false;
    const QString sentence = QString::fromStdString(cannotReadSentence(unreadRun_));
    // An item after the run that stopped play (its movie gone) said why.
    const bool stopped = queue_.empty() && !lastMessage_.isEmpty();
    message(stopped ? sentence + " " + lastMessage_ : sentence);
}

bool OrganizerPlayback::freezeOnShow() const
{
    const OrganizerItem* onShow = itemOnShow();
    return onShow && onShow->kind == "freeze";
}

bool OrganizerPlayback::toggle()
{
    OrganizerOverlay& overlay = preview_->overlay();
    if (freezeOnShow()) {
        if (!stillTimer_->isActive()) {
            // Resuming runs the whole length again.
            overlay.setEditing(false);
            freezeStarted_ = std::chrono::steady_clock::now();
            startStillTimer(*itemOnShow());
        } else {
            stillTimer_->stop();
            freezeStarted_.reset();
            overlay.setEditing(true);
        }
        return true;
    }
    overlay.setEditing(false);
    if (!player_->currentItem()) return false;
    if (player_->rate() == 0)
        player_->play();
    else
        player_->pause();
    return true;
}

void OrganizerPlayback::pause()
{
    player_->pause();
    if (!freezeOnShow()) return;
    // A paused still waits for drawing.
    stillTimer_->stop();
    freezeStarted_.reset();
    preview_->overlay().setEditing(true);
}

bool OrganizerPlayback::shuttle(int direction)
{
    if (freezeOnShow()) {
        if (direction < 0) {
            message("静止画の再生はSpaceまたはLです。");
        } else if (!stillRunning()) {
            toggle();
        }
        return true;
    }
    preview_->overlay().setEditing(false);
    if (!player_->currentItem()) return false;
    const double rate = player_->rate();
    player_->setRate(rate * direction > 0 ? std::clamp(rate * 2, -8.0, 8.0) : double(direction));
    return true;
}

void OrganizerPlayback::setMarks(const std::string& id, const std::vector<OrganizerMark>& marks)
{
    for (OrganizerItem& queued : queue_) {
        if (queued.id == id) queued.marks = marks;
    }
}

double OrganizerPlayback::readTime() const
{
    return reading_.time ? reading_.time() : std::numeric_limits<double>::quiet_NaN();
}

QImage OrganizerPlayback::readFrame() const
{
    return reading_.frame ? reading_.frame() : QImage();
}

} // namespace zanto
