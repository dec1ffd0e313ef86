#pragma once
#include "platform/media/Player.h"
#include "playlist/OrganizerDocument.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QTimer;

namespace zanto {

class OrganizerPreviewPane;

// Playback of items in the preview: the play queue, the one player and the
// still timer. The queue holds copies of the items; one of them is on show.
// Video items play in the player between their in and out points, stills
// (freeze, image, title) stay for their length on the still timer. What the
// preview, its overlay and its range bar show of the item on show is set here.
//
// GUI thread only; the player's end and seek reports arrive there too.
class OrganizerPlayback : public QObject {
public:
    // What playback asks of the window it plays in.
    struct Hooks {
        // The document whose sources the items play from, read at each showing.
        std::function<const OrganizerDocument&()> document;
        // Whether the queue starts again after its last item.
        std::function<bool()> loops;
        // The status line: the item on show, why it cannot play, the end of the queue.
        std::function<void(const QString&)> message;
    };

    // Where drawing reads the player: the time in file seconds (not finite
    // without an item) and the frame on show (null for none). By default the
    // player; unset functions read as no player.
    struct PlayerReading {
        std::function<double()> time;
        std::function<QImage()> frame;
    };

    OrganizerPlayback(const PlayerOptions& options, Hooks hooks, QObject* parent = nullptr);
    ~OrganizerPlayback() override;

    // The views the items are shown in, once the window has built them;
    // nothing is shown before.
    void showIn(OrganizerPreviewPane& preview);

    // Shared with the movie view, which draws its pictures.
    const std::shared_ptr<Player>& player() const { return player_; }

    const std::vector<OrganizerItem>& queue() const { return queue_; }
    // The index in queue() of the item on show; may lie outside it (after
    // stop(), which empties the queue).
    int playing() const { return playing_; }
    // The queued copy of the item on show; none while playing() lies outside the queue.
    const OrganizerItem* itemOnShow() const;
    // Raised by every stop() and every showing: a seek completion started
    // under an older value does nothing.
    int generation() const { return generation_; }
    // When the freeze item on show started running; none while none runs.
    std::optional<std::chrono::steady_clock::time_point> freezeStarted() const { return freezeStarted_; }
    // A still is on show for its length and will move on to the next item.
    bool stillRunning() const;

    // Ends playback: no still runs, the player is emptied, the queue is
    // emptied (playing() stays) and seeks under way are disarmed.
    void stop();
    // Stops, then plays `items` from the first (shown paused without autoplay).
    void begin(std::vector<OrganizerItem> items, bool autoplay = true);
    // Presents the item at playing(); every showing disarms the seeks before it.
    void showCurrent(bool autoplay = true);
    // The next item, the first again when looping, else the end of play,
    // which keeps the last item on show.
    void next();
    // Presents the item at `index` of the queue.
    void showAt(int index, bool autoplay = true);
    // Space: a freeze on show runs its whole length or pauses; a video item
    // plays or pauses. False, changing nothing but the overlay's drawing mode,
    // when no item is open in the player (the caller chooses what to play).
    bool toggle();
    // K: the player pauses; a freeze on show stops running and waits for drawing.
    void pause();
    // J (-1) and L (1): a backward or forward rate doubling up to 8, from a
    // pause or from the other direction at normal speed; a freeze on show
    // runs on L. False when no item is open in the player.
    bool shuttle(int direction);

    // The queued copies of the item with `id` take `marks`.
    void setMarks(const std::string& id, const std::vector<OrganizerMark>& marks);

    void setReading(PlayerReading reading) { reading_ = std::move(reading); }
    // The reading's time (not finite for none) and frame (null for none).
    double readTime() const;
    QImage readFrame() const;

private:
    void showVideo(const OrganizerItem& item, bool autoplay);
    void showStill(const OrganizerItem& item, bool autoplay);
    void startStillTimer(const OrganizerItem& item);
    void itemReachedEnd(uint64_t itemId);
    void itemFailed(uint64_t itemId);
    void unreadable(const std::filesystem::path& path);
    bool freezeOnShow() const;
    void message(const QString& text);

    Hooks hooks_;
    std::shared_ptr<Player> player_;
    PlayerReading reading_;
    OrganizerPreviewPane* preview_ = nullptr;
    std::vector<OrganizerItem> queue_;
    int playing_ = 0;
    int generation_ = 0;
    // The movies that could not be read, one after another, the latest last:
    // named together, so that the failure of the next item never hides the
    // one before. Once every item of the queue failed, play stops rather
    // than going round the queue for ever.
    std::vector<std::filesystem::path> unreadRun_;
    // A run is being named: the items after its first failure are shown in
    // turn (and extend the run), and one more of them failed.
    bool namingRun_ = false;
    bool failedAgain_ = false;
    // The status line written since play last stopped; empty when none.
    QString lastMessage_;
    std::optional<std::chrono::steady_clock::time_point> freezeStarted_;
    // Single shot; active while a still runs.
    QTimer* stillTimer_ = nullptr;
};

} // namespace zanto
