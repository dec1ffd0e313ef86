#include "organizer/Organizer.h"

#include "organizer/OrganizerImageView.h"
#include "organizer/OrganizerInspectorPane.h"
#include "organizer/OrganizerOverlay.h"
#include "organizer/OrganizerPreviewPane.h"
#include "organizer/OrganizerRangeBar.h"
#include "organizer/OrganizerStill.h"
#include "organizer/OrganizerTimelinePane.h"
#include "organizer/OrganizerVideoView.h"
#include "platform/media/Player.h"
#include "playlist/OrganizerExporterPicture.h"
#include "services/ExportFailure.h"

#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace zanto {

namespace {

// Seconds as media time at the player's scale.
MediaTime at(double seconds)
{
    return MediaTime::fromSeconds(seconds, 60000);
}

// A video item may end this far past its file's end (the last frame's rounding).
constexpr double sourceTolerance = 0.02;

std::vector<OrganizerItem> enabledItems(const std::vector<OrganizerItem>& items)
{
    std::vector<OrganizerItem> result;
    std::copy_if(items.begin(), items.end(), std::back_inserter(result),
                 [](const OrganizerItem& item) { return item.enabled; });
    return result;
}

} // namespace

void Organizer::setUpPlayback(const PlayerOptions& options)
{
    player_ = std::make_shared<Player>(options);
    stillTimer_ = new QTimer(this);
    stillTimer_->setSingleShot(true);
    // A fired timer is inactive again, so that a still that has run its
    // length never counts as running.
    connect(stillTimer_, &QTimer::timeout, this, [this] { next(); });
    player_->setEndHandler([this](uint64_t itemId) { itemReachedEnd(itemId); });
}

bool Organizer::stillRunning() const
{
    return stillTimer_->isActive();
}

void Organizer::stop()
{
    freezeStarted.reset();
    generation += 1;
    player_->pause();
    player_->replaceCurrentItem(nullptr);
    stillTimer_->stop();
    queue.clear();
}

void Organizer::begin(std::vector<OrganizerItem> items, bool autoplay)
{
    stop();
    preview_->overlay().setEditing(false);
    if (items.empty()) return;
    queue = std::move(items);
    playing = 0;
    showCurrent(autoplay);
}

void Organizer::playRow()
{
    const auto& rows = playlist().rows;
    const size_t row = static_cast<size_t>(currentRow());
    begin(row < rows.size() ? enabledItems(rows[row].items) : std::vector<OrganizerItem>{});
}

void Organizer::playAll()
{
    std::vector<OrganizerItem> items;
    for (const OrganizerRow& row : playlist().rows) {
        std::vector<OrganizerItem> enabled = enabledItems(row.items);
        items.insert(items.end(), enabled.begin(), enabled.end());
    }
    begin(std::move(items));
}

void Organizer::playSelection()
{
    std::vector<OrganizerItem> items;
    const auto& rows = playlist().rows;
    const size_t row = static_cast<size_t>(currentRow());
    if (row < rows.size()) {
        for (const int index : table.selectedRowIndexes()) {
            if (index < static_cast<int>(rows[row].items.size())) items.push_back(rows[row].items[static_cast<size_t>(index)]);
        }
    }
    begin(enabledItems(items));
}

void Organizer::showCurrent(bool autoplay)
{
    if (playing < 0 || playing >= static_cast<int>(queue.size())) return;
    generation += 1;
    stillTimer_->stop();
    player_->pause();
    const OrganizerItem item = queue[static_cast<size_t>(playing)];
    freezeStarted.reset();

    OrganizerOverlay& overlay = preview_->overlay();
    overlay.resetSelection();
    overlay.setEditing(!autoplay);
    OrganizerRangeBar& bar = preview_->rangeBar();
    bar.setVisible(item.kind == "video");
    bar.configure(item, item.end + 10);
    overlay.setMarks(item.marks.value_or(std::vector<OrganizerMark>{}));
    preview_->showKind(item.kind);
    message(QString::number(playing + 1) + "/" + QString::number(queue.size()) + " "
            + QString::fromStdString(item.name) + " — " + QString::fromStdString(item.note));
    if (item.kind == "video") showVideo(item, autoplay);
    else showStill(item, autoplay);
}

void Organizer::showVideo(const OrganizerItem& item, bool autoplay)
{
    const auto& sources = playlist().sources;
    const auto source = std::find_if(sources.begin(), sources.end(),
                                     [&](const OrganizerSource& s) { return s.id == item.sourceID; });
    const QString reconnect = "映像を再接続してください：" + QString::fromStdString(item.name);
    if (source == sources.end() || source->path.empty()) {
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
        // A file that is not a readable movie has no time to play.
    }
    const double lo = item.start + offset;
    const double hi = item.end + offset;
    if (!opened || lo < 0 || hi > duration + sourceTolerance) {
        stop();
        return message("映像の範囲外です。区間または補正秒を確認してください。");
    }
    preview_->rangeBar().configure(item, std::max(item.end, duration - offset));
    preview_->overlay().setBackground(QImage());
    player_->setEndTimes(at(lo), at(hi));
    player_->replaceCurrentItem(opened);
    preview_->movie().setRange(lo, hi);
    player_->seek(at(lo), [self = QPointer<Organizer>(this), token = generation, autoplay](bool finished) {
        if (finished && self && token == self->generation && autoplay) self->player_->play();
    });
}

void Organizer::showStill(const OrganizerItem& item, bool autoplay)
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
            still = freezeImage(item, playlist().sources);
        } catch (const std::exception& error) {
            overlay.update();
            return message(QString::fromUtf8(error.what()));
        }
        image.setImage(still);
        overlay.setBackground(still);
        overlay.setEditing(!autoplay);
        if (autoplay) freezeStarted = std::chrono::steady_clock::now();
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

void Organizer::startStillTimer(const OrganizerItem& item)
{
    const double milliseconds = std::max(0.0, (item.end - item.start) * 1000);
    stillTimer_->start(static_cast<int>(std::min(milliseconds, 2e9)));
}

void Organizer::next()
{
    playing += 1;
    if (playing < static_cast<int>(queue.size())) return showCurrent(true);
    if (inspector_->loops() && !queue.empty()) {
        playing = 0;
        return showCurrent(true);
    }
    player_->pause();
    // A freeze that ended the queue no longer runs.
    freezeStarted.reset();
    playing = std::max(0, static_cast<int>(queue.size()) - 1);
    message("連続再生が完了しました。");
}

void Organizer::itemReachedEnd(uint64_t itemId)
{
    const PlayerItemRef current = player_->currentItem();
    if (current && current->id == itemId) next();
}

void Organizer::togglePlayback()
{
    OrganizerOverlay& overlay = preview_->overlay();
    if (playing >= 0 && playing < static_cast<int>(queue.size()) && queue[static_cast<size_t>(playing)].kind == "freeze") {
        if (!stillTimer_->isActive()) {
            // Resuming runs the whole length again.
            overlay.setEditing(false);
            freezeStarted = std::chrono::steady_clock::now();
            startStillTimer(queue[static_cast<size_t>(playing)]);
        } else {
            stillTimer_->stop();
            freezeStarted.reset();
            overlay.setEditing(true);
        }
        return;
    }
    overlay.setEditing(false);
    if (!player_->currentItem()) playSelection();
    else if (player_->rate() == 0) player_->play();
    else player_->pause();
}

void Organizer::previousClip()
{
    if (queue.size() <= 1) return selectNeighbor(-1);
    playing = std::max(0, playing - 1);
    showCurrent(true);
}

void Organizer::nextClip()
{
    if (queue.size() <= 1) return selectNeighbor(1);
    next();
}

void Organizer::selectNeighbor(int delta)
{
    const int count = numberOfRows();
    if (count <= 0) return;
    // With no selection (-1) both directions land on the first item.
    selectTimeline(currentRow(), std::min(count - 1, std::max(0, table.selectedRow() + delta)));
}

void Organizer::selectTimeline(int row, std::optional<int> item)
{
    if (busy() || row < 0 || row >= static_cast<int>(playlist().rows.size())) return;
    rowChoice.selectItem(row);
    table.deselectAll();
    table.reloadData(numberOfRows());
    const auto& items = playlist().rows[static_cast<size_t>(row)].items;
    if (item && *item >= 0 && *item < static_cast<int>(items.size())) {
        table.selectRowIndexes({*item}, false);
        fields();
        begin({items[static_cast<size_t>(*item)]}, false);
    } else {
        fields();
    }
    timelinePane_->timeline().update();
}

} // namespace zanto
