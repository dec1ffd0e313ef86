#pragma once
#include "organizer/model/OrganizerEdits.h"
#include "playlist/OrganizerDocument.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTabBar;

namespace zanto {

class Organizer;
class OrganizerColorWell;
class OrganizerSlider;

// The inspector: the clip data and playback tabs and the drawing panel. It
// owns their controls; the Organizer hands it the item to show. Filling a
// control from here runs no command: commands hang on user input only.
class OrganizerInspectorPane : public QWidget {
public:
    explicit OrganizerInspectorPane(Organizer& organizer);

    // Fills the fields from `item` of `document`, one of `selectedCount` selected.
    void showItem(const OrganizerItem& item, const OrganizerDocument& document, int selectedCount);
    // Empties the fields; the enabled box and the offset keep what they show.
    void clearItem();
    // The playback tab's "連続再生をループ" is on.
    bool loops() const;

    // --- What the user typed, read by the inspector edits ---
    OrganizerItemFields typedFields() const;
    QString offsetText() const;
    // The source id that the chosen angle entry carries; none without one.
    std::optional<std::string> chosenAngle() const;
    // --- End of what the user typed ---
    // Shows the page of the selected tab, hides the other.
    void showSelectedPage();
    // Selects `tab` without running the tab's command, and shows its page.
    void selectTab(int tab);
    void toggleDrawingPanel();
    bool drawingPanelHidden() const;

    // The drawing panel's style: the colour well's colour as sRGB components
    // (plain blue when it has none) and the four sliders' values.
    GXLSettings drawingStyle() const;
    // Shows `settings`' style in the panel without running its command.
    void showDrawingStyle(const GXLSettings& settings);

private:
    QWidget* buildInfoPanel(Organizer& organizer);
    QWidget* buildPlaybackPanel(Organizer& organizer);
    QWidget* buildDrawingPanel(Organizer& organizer);
    void fillAngles(const OrganizerItem& item, const OrganizerDocument& document);

    QTabBar* inspectorTabs = nullptr;
    QWidget* infoPanel = nullptr;
    QWidget* playbackPanel = nullptr;
    QWidget* drawingPanel = nullptr;
    QLabel* clipInfo = nullptr;
    QLineEdit* nameField = nullptr;
    QLineEdit* labelsField = nullptr;
    QPlainTextEdit* noteField = nullptr;
    QLineEdit* startField = nullptr;
    QLineEdit* endField = nullptr;
    QCheckBox* enabled = nullptr;
    QComboBox* angleChoice = nullptr;
    QCheckBox* loopButton = nullptr;
    QLineEdit* offsetField = nullptr;
    OrganizerColorWell* gxlColor = nullptr;
    OrganizerSlider* gxlSize = nullptr;
    OrganizerSlider* gxlPerspective = nullptr;
    OrganizerSlider* gxlOpacity = nullptr;
    OrganizerSlider* gxlSpeed = nullptr;
};

} // namespace zanto
