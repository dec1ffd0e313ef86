#pragma once
#include "organizer/OrganizerItemTable.h"
#include "organizer/OrganizerRowChoice.h"
#include "playlist/OrganizerDocument.h"

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QSlider;
class QTabBar;
class QVBoxLayout;
class QWidget;

namespace zanto {

class OrganizerColorWell;
class OrganizerImageView;
class OrganizerOverlay;
class OrganizerRangeBar;
class OrganizerSlider;
class OrganizerSplit;
class OrganizerTimeline;

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
    explicit Organizer(std::optional<std::filesystem::path> recoveryDirectory = std::nullopt);
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

    // What the preview pane keeps under the stage for the range bar and the
    // transport row, and the timeline pane for its header and hint.
    static constexpr int previewAllowance = 76;
    static constexpr int timelineAllowance = 55;

    // Display names of the drawing materials, index for index with
    // GXLSettings::tools(); the index is also the material button's tag.
    static const std::vector<QString>& materialNames();
    static QIcon materialIcon(int index);

    // Refreshes everything that shows the document: row pop-up, item table,
    // inspector, timeline and window title. With an index that names an item
    // of the current row, that item becomes the single selection.
    void reload(std::optional<int> index = std::nullopt);
    // Fills the inspector from selectedItem() and resets the preview.
    void fields();
    // Item table data source and delegate.
    int numberOfRows() const;
    void tableViewSelectionDidChange();

    // Ends every edit: one undo snapshot when the document's JSON changed,
    // `changed` set, recovery file rewritten.
    void persist();
    void undoOrganizer();
    void redoOrganizer();
    void restoreHistory();

    // Ends playback of the play queue.
    void stop();

    // Where the recovery file lives.
    const std::filesystem::path& recovery() const { return recovery_; }
    // Where a recovery file that could not be loaded was moved, if one was.
    const std::optional<std::filesystem::path>& setAsideRecovery() const { return setAside_; }

    // The document and its history. The application replaces these directly
    // when it opens a playlist for the Organizer.
    OrganizerDocument playlist;
    std::optional<OrganizerDocument> historyState;
    std::vector<OrganizerDocument> undoStates;
    std::vector<OrganizerDocument> redoStates;
    bool changed = false;
    bool busy = false;
    bool inspectorHidden = false;

    // Playback state.
    std::vector<OrganizerItem> queue;
    int playing = 0;
    int generation = 0;

    // Off-screen models of the current row and its selection.
    OrganizerItemTable table;
    OrganizerRowChoice rowChoice;

    // Views; owned by the window. Filling a control from code must run no
    // command, so commands hang on the signals of user input only (clicked,
    // activated, textEdited, the sliders' and colour well's `action`).
    // `progress` runs from 0 to 1000 for fractions 0 to 1.
    OrganizerRangeBar* rangeBar = nullptr;
    OrganizerTimeline* timeline = nullptr;
    OrganizerSplit* verticalSplit = nullptr;
    OrganizerSplit* horizontalSplit = nullptr;
    QWidget* drawingPanel = nullptr;
    OrganizerColorWell* gxlColor = nullptr;
    OrganizerSlider* gxlSize = nullptr;
    OrganizerSlider* gxlPerspective = nullptr;
    OrganizerSlider* gxlOpacity = nullptr;
    OrganizerSlider* gxlSpeed = nullptr;
    QLabel* clipInfo = nullptr;
    QLineEdit* labelsField = nullptr;
    QWidget* infoPanel = nullptr;
    QWidget* playbackPanel = nullptr;
    QTabBar* inspectorTabs = nullptr;
    QCheckBox* loopButton = nullptr;
    OrganizerOverlay* overlay = nullptr;
    QWidget* movie = nullptr;
    OrganizerImageView* image = nullptr;
    QLabel* titleView = nullptr;
    QComboBox* angleChoice = nullptr;
    QLineEdit* nameField = nullptr;
    QPlainTextEdit* noteField = nullptr;
    QLineEdit* startField = nullptr;
    QLineEdit* endField = nullptr;
    QLineEdit* offsetField = nullptr;
    QCheckBox* enabled = nullptr;
    QLabel* status = nullptr;
    QProgressBar* progress = nullptr;
    QSlider* zoomSlider = nullptr;
    QScrollArea* timelineScroll = nullptr;
    QWidget* materialStrip = nullptr;
    QWidget* previewStage = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Construction, by concern.
    void loadRecovery(const std::optional<std::filesystem::path>& recoveryDirectory);
    void buildWindow();
    QWidget* buildToolbar();
    QWidget* buildPreviewPane();
    QWidget* buildPreviewStage();
    QWidget* buildMaterialStrip(QWidget* stage);
    QWidget* buildTransport();
    QWidget* buildTimelinePane();
    QWidget* buildInspectorPane();
    QWidget* buildInfoPanel();
    QWidget* buildPlaybackPanel();
    QWidget* buildDrawingPanel();
    void placeDividers();
    void showWindow();

    // Moves the last snapshot of `from` into `playlist`, the current playlist
    // onto `to`.
    void stepHistory(std::vector<OrganizerDocument>& from, std::vector<OrganizerDocument>& to);

    // Inspector filling.
    void showItem(const OrganizerItem& item);
    void clearItem();
    void fillAngles(const OrganizerItem& item);

    // Writes the playlist's encoded bytes (none when it could not be
    // encoded) to the recovery file; the failure's description, or nothing.
    std::optional<QString> writeRecovery(const std::optional<std::string>& bytes) const;
    // Moves a recovery file that could not be loaded out of the way of the
    // next edit's write.
    void setRecoveryAside();

    std::unique_ptr<QWidget> window_;
    QString statusText_;
    std::filesystem::path recovery_;
    std::optional<std::filesystem::path> setAside_;
};

// Compact JSON bytes of a document, or nothing when it cannot be encoded.
std::optional<std::string> organizerDocumentBytes(const OrganizerDocument& document);

// Seconds shown in a text field: the shortest text that reads back as the
// same double, in the C locale whatever the user's locale.
QString organizerSeconds(double seconds);

} // namespace zanto
