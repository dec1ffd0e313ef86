#pragma once
#include <QWidget>

#include <algorithm>

namespace zanto {

// A pane whose main view is as high as the pane less a fixed allowance for
// the controls under it, whether or not they are on show, so that the
// picture does not jump when the range bar comes and goes.
class OrganizerInsetPane : public QWidget {
public:
    OrganizerInsetPane(int allowance, int minimum) : allowance_(allowance), minimum_(minimum) { }

protected:
    // The view that follows the pane's height.
    QWidget* follower = nullptr;

    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        if (follower) follower->setFixedHeight(std::max(minimum_, height() - allowance_));
    }

private:
    int allowance_;
    int minimum_;
};

} // namespace zanto
