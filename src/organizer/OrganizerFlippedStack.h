#pragma once
#include <QWidget>

namespace zanto {

// A vertical stack whose views start at the top and keep their own sizes,
// for the material buttons down the preview's right edge. Main thread only.
class OrganizerFlippedStack : public QWidget {
public:
    explicit OrganizerFlippedStack(int spacing, QWidget* parent = nullptr);

    // Puts `view` under the views added before it.
    void addArrangedSubview(QWidget* view);
};

} // namespace zanto
