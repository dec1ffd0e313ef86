#include "organizer/OrganizerAskDialog.h"

#include "organizer/OrganizerAlert.h"

#include <QLineEdit>

namespace zanto {

std::optional<QString> runOrganizerAsk(QWidget* parent, const QString& message, const QString& value)
{
    auto* field = new QLineEdit(value);
    field->setObjectName(QStringLiteral("askField"));
    field->setFixedSize(340, 26);
    field->selectAll();
    // The alert owns the field and deletes it on return; the text is read on
    // each edit so that it outlives the dialog.
    QString text = value;
    QObject::connect(field, &QLineEdit::textChanged, field, [&text](const QString& now) { text = now; });
    const int pressed =
        runOrganizerAlert(parent, message, QString(), {QStringLiteral("決定"), QStringLiteral("キャンセル")}, field);
    if (pressed != 0) return std::nullopt;
    const QString answer = text.trimmed();
    if (answer.isEmpty()) return std::nullopt;
    return answer;
}

} // namespace zanto
