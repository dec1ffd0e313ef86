#pragma once
#include "organizer/OrganizerCommand.h"
#include "organizer/OrganizerDialogs.h"
#include "organizer/OrganizerFocus.h"
#include "organizer/OrganizerItemTable.h"
#include "organizer/OrganizerJobs.h"
#include "organizer/OrganizerPlayback.h"
#include "organizer/OrganizerRowChoice.h"
#include "organizer/model/OrganizerHistory.h"
#include "organizer/model/OrganizerRecoveryFile.h"
#include "platform/media/Player.h"
#include "playlist/OrganizerDocument.h"

#include <QIcon>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

class QKeyEvent;
class QLabel;
class QProgressBar;
class QTimer;
class QWidget;

namespace zanto {

class OrganizerInspectorPane;
class OrganizerKeyMonitor;
class OrganizerOverlay;
class OrganizerPreviewPane;
class OrganizerSplit;
class OrganizerTimelinePane;

// The native playlist editor: one window controller that owns the playlist
// being edited, its undo history and every control of its window. One exists
// per run; it is never released, and closing its window only hides it.
//
// Everything here runs on the GUI thread. Saves and exports work on copies of
// `playlist` on other threads while `busy` keeps the edit commands away.
class Organizer : public QObject {
public:
    // Loads the recovery file from `recoveryDirectory` (by default the folder
    // "ZANTORIX" in the user's data folder) and builds and shows the window.
    // `dialogs` answers for the user; by default the application's own dialogs.
    // `player` sets up the preview player (by default mpv's own sound output).
    explicit Organizer(std::optional<std::filesystem::path> recoveryDirectory = std::nullopt,
                       std::unique_ptr<OrganizerDialogs> dialogs = nullptr, const PlayerOptions& player = {});
    ~Organizer() override;
    Organizer(const Organizer&) = delete;
    Organizer& operator=(const Organizer&) = delete;

    QWidget* window() const { return window_.get(); }

    // The status line: one line of text, the whole text in its tool tip.
    void message(const QString& text);
    // The last text given to message().
    QString statusText() const;

    // The close button hides the window (after stopping playback); it never
    // closes it. Refused with a message while a save or export runs.
    bool windowShouldClose();

    // The row chosen in the row pop-up, at least 0.
    int currentRow() const;
    // The selected item of the current row, or none.
    std::optional<OrganizerItem> selectedItem() const;

    // Display names of the drawing materials, index for index with
    // GXLSettings::tools(); the index is also the material button's tag.
    static const std::vector<QString>& materialNames();
    static QIcon materialIcon(int index);

    // Refreshes everything that shows the document once: row pop-up, item
    // table, inspector, preview, timeline and window title, showing `focus`.
    // Playback stops (and the focus item opens when asked).
    void reload(const OrganizerFocus& focus = {});
    // Fills the inspector and the timeline from the table's selection and
    // resets the preview, stopping playback; with `open` the selected item
    // then opens, paused.
    void fields(bool open = false);
    // Item table data source and delegate.
    int numberOfRows() const;
    void tableViewSelectionDidChange();

    // What a commit shows of the new document.
    enum class CommitViews {
        // Every view is reloaded once, showing the commit's focus; the
        // inspector is refilled, which stops playback.
        reload,
        // The views show the change already or show nothing it touches: the
        // table and the timeline take the new document, the selection and the
        // item on show stay, playback goes on. The focus is not looked at.
        kept,
    };
    // The one edit cycle. Refuses a candidate that does not validate, showing
    // its message and changing nothing; otherwise makes it the playlist,
    // refreshes the views as `views` says, persists and shows `text` when
    // there is one. Every command that changes the document ends here.
    bool commit(OrganizerDocument candidate, const OrganizerFocus& focus, const QString& text,
                CommitViews views = CommitViews::reload);
    // Replaces the document with an opened one (or, starting `changed`, a new
    // one): no history, the recovery file rewritten once. Refused while busy,
    // and like commit() when the document does not validate.
    bool openDocument(OrganizerDocument document, OrganizerHistory::Start start = OrganizerHistory::Start::saved);

    // Ends every edit: one undo snapshot when the document's JSON changed,
    // `changed` set, recovery file rewritten. False when the write failed
    // (the failure is on show).
    bool persist();
    void undoOrganizer();
    void redoOrganizer();
    void restoreHistory();

    // Ends playback of the play queue (OrganizerPlayback::stop()).
    void stop() { playback_->stop(); }

    // Where the recovery file lives.
    const std::filesystem::path& recovery() const { return recovery_.path(); }
    // Where a recovery file that could not be loaded was moved, if one was.
    const std::optional<std::filesystem::path>& setAsideRecovery() const { return recovery_.setAside(); }

    // The document and its history, read-only: they change through commit(),
    // openDocument() and the undo commands.
    const OrganizerDocument& playlist() const { return history_.playlist; }
    const std::optional<OrganizerDocument>& historyState() const { return history_.historyState(); }
    const std::vector<OrganizerDocument>& undoStates() const { return history_.undoStates; }
    const std::vector<OrganizerDocument>& redoStates() const { return history_.redoStates; }
    bool changed() const { return history_.changed(); }
    // A save or export runs; edit commands keep away.
    bool busy() const;

    // Runs the row of `command` in OrganizerActions under its busy rule;
    // false when it was refused.
    bool perform(OrganizerCommand command);
    OrganizerDialogs& dialogs() { return *dialogs_; }
    OrganizerJobs& jobs() { return *jobs_; }
    bool inspectorHidden = false;

    // Document commands. The document's own commands ask before dropping
    // unsaved changes (confirmReplace); the save runs on a copy in the
    // background and never makes the chosen file the document's.
    bool confirmReplace();
    void newDocument();
    void openDocument();
    void saveDocument();
    // A playlist handed over by the file manager or a second launch, named
    // by the file system's own bytes: like the open command without its
    // dialog and without showing warnings; the window comes to the front.
    // False when it was not opened (busy, declined, or unreadable: the
    // failure is on show).
    bool openFromFileManager(const std::filesystem::path& path);

    // Export commands: MP4 through a hidden temporary file moved into place,
    // Final Cut Pro XML of the whole playlist or the current row.
    void exportAll();
    void exportSelection();
    void exportCurrentVideo();
    void exportItems(const std::vector<OrganizerItem>& items);
    void chooseXMLExport();
    // The whole playlist, or the current row alone.
    void exportOrganizerXML(bool rowOnly);
    void cancelExport();

    // Row commands.
    void rowChanged();
    void addRow();
    void renameRow();
    void removeRow();
    // Up (-1) or down (1) one place.
    void moveRow(int step);

    // Item commands and slides, on the current row and the table's selection.
    void addTitle();
    void addImage();
    void insertImages(const QStringList& paths);
    void duplicate();
    void removeItems();
    // A title slide before (or after) the selected item.
    void insertSlide(bool after);

    // Shows `menu` at the pointer; the chosen entry performs its row.
    void popup(OrganizerMenu menu);

    // Playback of items: the queue, the player and the still timer are the
    // playback's (OrganizerPlayback); these are the transport's commands.
    OrganizerPlayback& playback() { return *playback_; }
    const OrganizerPlayback& playback() const { return *playback_; }
    void begin(std::vector<OrganizerItem> items, bool autoplay = true) { playback_->begin(std::move(items), autoplay); }
    // The enabled items of the current row, of all rows, of the table's selection.
    void playRow();
    void playAll();
    void playSelection();
    void next() { playback_->next(); }
    // The transport; with nothing open, Space plays the table's selection.
    void togglePlayback();
    void previousClip();
    void nextClip();
    // Opens, paused, the item `delta` lines from the table's selection in
    // the current row, clamped to the row.
    void selectNeighbor(int delta);
    // Makes `row` the current row and selects and opens (paused) its item
    // `item`, or selects nothing.
    void selectTimeline(int row, std::optional<int> item);
    const std::shared_ptr<Player>& player() const { return playback_->player(); }
    bool stillRunning() const { return playback_->stillRunning(); }

    // Append from the page (OrganizerAppend.cpp): the page's sources become
    // new sources and its clips new video items at the end of the current
    // row, one undo step. `media` is the registry of movie files the user
    // opened, most recent last. Silent while busy or when the body lacks its
    // lists; throws ExportFailure when the result does not validate, changing
    // nothing.
    void append(const QJsonObject& body, const std::vector<std::filesystem::path>& media);

    // Off-screen models of the current row and its selection.
    OrganizerItemTable table;
    OrganizerRowChoice rowChoice;

    // --- Timeline editing, marks in and out, keys, inspector edits ---
    // Moves the pressed item, or the selection when it holds the pressed
    // item, to row `to` before position `at` (counted as `to` was).
    void moveTimelineItem(int row, int item, int to, int at);
    // Gives one item a new range; refused silently or with a message.
    void trimTimelineItem(int row, int item, double start, double end);
    // Mark in (true) and mark out: the selected open video item's start (or
    // end) at the player's time.
    void markBoundary(bool start);
    // The selected item is a video item and the one open in the preview.
    bool selectedVideoIsOpen() const;
    // The window-wide key table; true when the key was handled.
    bool handleOrganizerKey(const QKeyEvent& event);
    // Selects every item of the current row (none of an empty row).
    void selectAllItems();
    // The shuttle keys: K pauses, L (1) and J (-1) run forward and backward.
    void shuttlePause();
    void shuttle(int direction);
    // Escape: the overlay leaves drawing and drops its selection.
    void drawingOff();
    void apply();
    void angleChanged();
    void relink();
    void applyOffset();
    // The duration of a movie file in seconds; none when it cannot be read.
    static std::optional<double> movieDuration(const std::string& path);
    // The player's position in file seconds; none while it holds no item.
    std::optional<double> playerSeconds() const;
    // Pauses the player and seeks it exactly to `seconds` of the open item.
    void seekOpenItem(double seconds);
    // --- End of timeline editing, marks, keys, inspector edits ---
    // Layout and menu commands (OrganizerLayoutCommands.cpp). None tests
    // busy, none changes the playlist or writes settings.
    void enlargePreview();
    void resetLayout();
    void toggleInspector();
    void toggleDrawing();
    // Shows the page of the tab the user chose.
    void inspectorTabChanged();
    // The zoom slider's value becomes the timeline's scale.
    void zoomTimeline();

    // Drawing panel and materials (OrganizerDrawingPanel.cpp, OrganizerMaterials.cpp).
    // Mark edits go into the item on show (found by id in the playlist), or
    // the selected item when nothing is on show, and into its queued copies.
    void gxlSettingsChanged();
    void deleteSelectedMark();
    void undoMark();
    // A material button's command: cuts a still from the video on show at
    // the playhead (or takes the still on show) and adds the material of
    // GXLSettings::tools()[tag] to it. Does nothing while busy.
    void addMaterial(int tag);
    // One tick of the drawing timer, which runs every 100 ms for the whole
    // life of the Organizer: animation time and, when needed, a video frame
    // for the overlay.
    void drawingTick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Construction, by concern.
    void buildWindow();
    QWidget* buildToolbar();
    void placeDividers();
    void showWindow();

    // Starts `job` as an export: stops playback, shows the progress bar at 0
    // and routes the exporter's progress texts to the status line.
    void startExport(OrganizerJob job);
    void finishExport(const std::optional<QString>& failure, const QString& success, const QString& revealed);

    // Drawing (OrganizerDrawingPanel.cpp, OrganizerMaterials.cpp).
    void installDrawing();
    OrganizerOverlay& overlay() const;
    // The item on show in the overlay (the queued copy), else the selected item.
    std::optional<OrganizerItem> drawingTarget() const;
    void overlayChanged(const std::vector<OrganizerMark>& marks);
    // Stores `marks` as the target's, in the playlist and every queued copy,
    // without reloading the views that show them already.
    void storeMarks(const OrganizerItem& target, const std::vector<OrganizerMark>& marks);
    QTimer* gxlTimer_ = nullptr;

    // What a failed write of the recovery file is shown after.
    static const QString recoveryFailure;
    // Writes the playlist's encoded bytes (none when it could not be encoded)
    // to the recovery file; a failure is shown after `prefix`.
    bool writeRecovery(const std::optional<std::string>& bytes, const QString& prefix);

    // The ids of the items of `row` at `indexes` (those outside the row left out).
    std::set<std::string> idsAt(int row, const std::set<int>& indexes) const;
    // Puts `focus`'s row and selection into the row pop-up and the table,
    // without a refresh of the views (reload() does that once).
    void placeFocus(const OrganizerFocus& focus);
    // Hands the timeline the document, the current row and the table's
    // selection: every refresh of the timeline goes through here.
    void showTimeline();
    // Gives the item `id` a new range (see trimTimelineItem) and opens it.
    void trimItem(const std::string& id, double start, double end);
    // The length of the movie at `path`: the open item's when it plays from
    // that file (probed as it opened), else probed now.
    std::optional<double> sourceDuration(const std::string& path) const;

    // Built before the window, whose movie view shares its player; goes after
    // it, so that no view outlives what it shows.
    std::unique_ptr<OrganizerPlayback> playback_;
    // The window and its panes; the window owns every view. Tests find a
    // control by its objectName.
    std::unique_ptr<QWidget> window_;
    OrganizerPreviewPane* preview_ = nullptr;
    OrganizerInspectorPane* inspector_ = nullptr;
    OrganizerTimelinePane* timelinePane_ = nullptr;
    OrganizerSplit* horizontalSplit_ = nullptr;
    OrganizerSplit* verticalSplit_ = nullptr;
    QLabel* status_ = nullptr;
    // Runs from 0 to 1000 for fractions 0 to 1.
    QProgressBar* progress_ = nullptr;
    QString statusText_;
    OrganizerRecoveryFile recovery_;
    OrganizerHistory history_;
    std::unique_ptr<OrganizerDialogs> dialogs_;
    // Hands the window's keys to handleOrganizerKey().
    std::unique_ptr<OrganizerKeyMonitor> keyMonitor_;
    void setUpPlayback(const PlayerOptions& options);
    // Last, so that it goes first: its worker ends before anything it reports to.
    std::unique_ptr<OrganizerJobs> jobs_;
};

// Seconds shown in a text field: the shortest text that reads back as the
// same double, in the C locale whatever the user's locale.
QString organizerSeconds(double seconds);

} // namespace zanto
