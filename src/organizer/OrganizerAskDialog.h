#pragma once
// The one-line prompt: an alert whose message is `message`, with a 340 x 26
// text field holding `value`, then "決定" (default) and "キャンセル".
// App-modal, parented to `parent`; GUI thread only.
#include <QString>

#include <optional>

class QWidget;

namespace zanto {

// The field's text trimmed of white space and line breaks at both ends; none
// when cancelled or when nothing is left after trimming.
std::optional<QString> runOrganizerAsk(QWidget* parent, const QString& message, const QString& value);

} // namespace zanto
