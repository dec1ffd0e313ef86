#pragma once
#include "organizer/OrganizerInsetPane.h"
#include "playlist/OrganizerItem.h"

#include <optional>

#include <string>

class QLabel;

namespace zanto {

class Organizer;
class OrganizerImageView;
class OrganizerOverlay;
class OrganizerRangeBar;
class OrganizerVideoView;

// The preview: the black stage with the picture box (movie, image, title
// slide, drawing overlay) and the material strip, the range bar and the
// transport row. It owns these views; the Organizer hands it what to show.
class OrganizerPreviewPane : public OrganizerInsetPane {
public:
    // What the pane keeps under the stage for the range bar and the transport row.
    static constexpr int allowance = 76;

    explicit OrganizerPreviewPane(Organizer& organizer);

    // Back to the movie with no drawing selected and no picture, showing
    // `item`'s marks (none without an item).
    void showItem(const std::optional<OrganizerItem>& item);

    // Shows the view of an item of this kind and hides the others: the movie
    // for "video", the image for "image" and "freeze", the title for "title",
    // none for any other kind.
    void showKind(const std::string& kind);

    OrganizerOverlay& overlay() const { return *overlay_; }
    OrganizerRangeBar& rangeBar() const { return *rangeBar_; }
    OrganizerVideoView& movie() const { return *movie_; }
    OrganizerImageView& image() const { return *image_; }
    QLabel& titleView() const { return *titleView_; }

private:
    QWidget* buildStage(Organizer& organizer);
    QWidget* buildMaterialStrip(Organizer& organizer, QWidget* stage);
    QWidget* buildTransport(Organizer& organizer);
    // Hands the range bar's gestures to the commands of `organizer`.
    void reportTo(Organizer& organizer);

    OrganizerRangeBar* rangeBar_ = nullptr;
    OrganizerVideoView* movie_ = nullptr;
    OrganizerImageView* image_ = nullptr;
    QLabel* titleView_ = nullptr;
    OrganizerOverlay* overlay_ = nullptr;
};

} // namespace zanto
