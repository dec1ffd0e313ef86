#pragma once
#include "organizer/OrganizerInsetPane.h"
#include "playlist/OrganizerItem.h"

#include <optional>

class QLabel;

namespace zanto {

class Organizer;
class OrganizerImageView;
class OrganizerOverlay;
class OrganizerRangeBar;

// The preview: the black stage with the picture box (movie, image, title
// slide, drawing overlay) and the material strip, the range bar and the
// transport row. It owns these views; the Organizer hands it what to show.
class OrganizerPreviewPane : public OrganizerInsetPane {
public:
    // What the pane keeps under the stage for the range bar and the transport row.
    static constexpr int allowance = 76;

    explicit OrganizerPreviewPane(Organizer& organizer);

    // Back to the movie with no drawing selected, showing `item`'s marks
    // (none without an item) and its range on the range bar.
    void showItem(const std::optional<OrganizerItem>& item);

    OrganizerOverlay& overlay() const { return *overlay_; }
    // Shows `still` in place of the movie.
    void showStill(const QImage& still);

private:
    QWidget* buildStage(Organizer& organizer);
    QWidget* buildMaterialStrip(Organizer& organizer, QWidget* stage);
    QWidget* buildTransport(Organizer& organizer);

    OrganizerRangeBar* rangeBar_ = nullptr;
    QWidget* movie_ = nullptr;
    OrganizerImageView* image_ = nullptr;
    QLabel* titleView_ = nullptr;
    OrganizerOverlay* overlay_ = nullptr;
};

} // namespace zanto
