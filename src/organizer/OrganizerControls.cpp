#include "organizer/OrganizerControls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zanto::controls {

QVBoxLayout* column(QWidget* owner, int spacing)
{
    auto* layout = new QVBoxLayout(owner);
    layout->setSpacing(spacing);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setAlignment(Qt::AlignTop);
    return layout;
}

QHBoxLayout* row(int spacing)
{
    auto* layout = new QHBoxLayout;
    layout->setSpacing(spacing);
    layout->setContentsMargins(0, 0, 0, 0);
    return layout;
}

QLabel* label(const QString& text, bool wrapping)
{
    auto* result = new QLabel(text);
    result->setWordWrap(wrapping);
    result->setTextInteractionFlags(Qt::NoTextInteraction);
    return result;
}

QLineEdit* field(const QString& placeholder)
{
    auto* result = new QLineEdit;
    result->setPlaceholderText(placeholder);
    return result;
}

QPushButton* button(const QString& title)
{
    auto* result = new QPushButton(title);
    setPixelFont(result, 11);
    result->setAutoDefault(false);
    return result;
}

void setPixelFont(QWidget* widget, int pixels, bool bold)
{
    QFont font = widget->font();
    font.setPixelSize(pixels);
    font.setBold(bold);
    widget->setFont(font);
}

} // namespace zanto::controls
