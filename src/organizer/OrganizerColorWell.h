#pragma once
#include <QColor>
#include <QPushButton>

#include <functional>

namespace zanto {

// A colour swatch button: a click opens the colour chooser, and `action` runs
// when the user has picked a colour; setColor() from code runs nothing.
// Main thread only.
class OrganizerColorWell : public QPushButton {
public:
    explicit OrganizerColorWell(QWidget* parent = nullptr);

    QColor color() const { return color_; }
    void setColor(const QColor& color);

    std::function<void()> action;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void choose();

    QColor color_{Qt::white};
};

} // namespace zanto
