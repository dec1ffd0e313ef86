#pragma once
#include <QImage>
#include <QWidget>

namespace zanto {

// The image view of the preview: a still or a slide scaled up or down to the
// largest size that fits the view with its own proportions, centred, over
// what lies beneath (the stage is black). Main thread only.
class OrganizerImageView : public QWidget {
public:
    explicit OrganizerImageView(QWidget* parent = nullptr);

    const QImage& image() const { return image_; }
    // A null image shows nothing.
    void setImage(const QImage& image);

    // Where the image lands inside the view; empty without an image.
    QRectF imageRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
};

} // namespace zanto
