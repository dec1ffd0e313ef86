#include "organizer/OrganizerControls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

namespace zanto::controls {

namespace {

// A push button of the small size that fits its title, instead of the
// style's wide minimum for buttons with text.
class SmallButton : public QPushButton {
public:
    using QPushButton::QPushButton;

    QSize sizeHint() const override
    {
        QSize size = QPushButton::sizeHint();
        size.setWidth(fontMetrics().horizontalAdvance(text()) + 2 * titleMargin);
        return size;
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

private:
    static constexpr int titleMargin = 10;
};

} // namespace

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
    auto* result = new QLabel;
    // Names, notes and file names come from users: never read them as markup.
    result->setTextFormat(Qt::PlainText);
    result->setText(text);
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
    auto* result = new SmallButton(title);
    setPixelFont(result, 11);
    result->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
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

QString plainToolTip(const QString& text)
{
    // Tool tips guess at rich text; a text that looks like markup is escaped
    // and its line breaks kept.
    if (!Qt::mightBeRichText(text)) return text;
    return "<p style='white-space:pre-wrap'>" + text.toHtmlEscaped() + "</p>";
}

} // namespace zanto::controls
