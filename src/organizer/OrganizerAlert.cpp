#include "organizer/OrganizerAlert.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zanto {

namespace {

const QString cancelTitle = QStringLiteral("キャンセル");

// The button Escape and the close button stand for, or -1 for none.
int escapeIndex(const QStringList& buttons)
{
    const int cancel = static_cast<int>(buttons.indexOf(cancelTitle));
    if (cancel >= 0) return cancel;
    return buttons.size() == 1 ? 0 : -1;
}

// A dialog whose result is the pressed button's index plus one, so that the
// plain Rejected (0) never reads as the first button.
class AlertDialog : public QDialog {
public:
    AlertDialog(QWidget* parent, int escape) : QDialog(parent), escape_(escape) { }

    void reject() override
    {
        if (escape_ >= 0) done(escape_ + 1);
    }

private:
    int escape_;
};

QLabel* wrappedLabel(const QString& text, bool bold)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

// Buttons right-aligned with the first rightmost. Only the first is a default
// button: Return presses it wherever the focus stands, as users of alerts
// expect; Space presses the focused one.
QHBoxLayout* buttonRow(AlertDialog& dialog, const QStringList& buttons)
{
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (qsizetype index = buttons.size() - 1; index >= 0; --index) {
        auto* button = new QPushButton(buttons.at(index), &dialog);
        button->setObjectName(QStringLiteral("alertButton%1").arg(index));
        button->setAutoDefault(index == 0);
        button->setDefault(index == 0);
        QObject::connect(button, &QPushButton::clicked, &dialog,
                         [&dialog, index] { dialog.done(static_cast<int>(index) + 1); });
        row->addWidget(button);
    }
    return row;
}

} // namespace

int runOrganizerAlert(QWidget* parent, const QString& message, const QString& informative, const QStringList& buttons)
{
    return runOrganizerAlert(parent, message, informative, buttons, nullptr);
}

int runOrganizerAlert(QWidget* parent, const QString& message, const QString& informative, const QStringList& buttons,
                      QWidget* accessory)
{
    const QStringList titles = buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : buttons;
    const int escape = escapeIndex(titles);
    AlertDialog dialog(parent, escape);
    dialog.setObjectName(QStringLiteral("organizerAlert"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumWidth(380);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(wrappedLabel(message, true));
    if (!informative.isEmpty()) layout->addWidget(wrappedLabel(informative, false));
    if (accessory) layout->addWidget(accessory);
    layout->addLayout(buttonRow(dialog, titles));
    if (accessory)
        accessory->setFocus();
    else
        dialog.findChild<QPushButton*>(QStringLiteral("alertButton0"))->setFocus();
    const int result = dialog.exec();
    return result > 0 ? result - 1 : escape;
}

} // namespace zanto
