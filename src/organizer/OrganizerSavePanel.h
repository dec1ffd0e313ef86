#pragma once
// The save panel: the platform's non-native file dialog in save mode, with
// new folders allowed and an optional check box below it. App-modal,
// parented; GUI thread only.
#include "organizer/OrganizerSaveAnswer.h"

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace zanto {

// `defaultName` fills the name field. Empty `nameFilters` and `suffix` leave
// the typed path as it is; otherwise they filter the list and complete a name
// without extension. An empty `checkBox` shows no check box; otherwise it
// starts off. Typing the name of an existing file or playlist package asks
// before replacing it (a package is not entered). None when cancelled.
std::optional<OrganizerSaveAnswer> runOrganizerSavePanel(QWidget* parent, const QString& defaultName,
                                                         const QStringList& nameFilters, const QString& suffix,
                                                         const QString& checkBox);

} // namespace zanto
