#pragma once
#include "marks/OrganizerMark.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

namespace zanto {

// The drawing overlay over the picture: it holds the marks of the item on
// show, exactly covering the 16:9 picture so that its normalised coordinates
// are the picture's. Main thread only.
class OrganizerOverlay : public QWidget {
public:
    explicit OrganizerOverlay(QWidget* parent = nullptr);

    std::vector<OrganizerMark> marks;
    // True while materials on a freeze frame can be moved and reshaped.
    bool editing = false;

    // Forgets the selected mark and point.
    void resetSelection();

    // Told the selected mark's settings (none when nothing is selected), a
    // message to show, and the whole new mark list after an edit.
    std::function<void(const std::optional<GXLSettings>&)> onSelect;
    std::function<void(const QString&)> onError;
    std::function<void(const std::vector<OrganizerMark>&)> onChange;

    std::optional<int> selectedMark() const { return selectedMark_; }

private:
    std::optional<int> selectedMark_;
};

} // namespace zanto
