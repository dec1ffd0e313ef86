#pragma once
// The one dialog seam of the Organizer: every modal question to the user goes
// through here, widgets in the application and scripted answers in tests.
// Adding a dialog: add a pure virtual here, a body in OrganizerWidgetDialogs
// and a scripted answer queue in tests/support/OrganizerScriptedDialogs.h.
#include "organizer/OrganizerSaveAnswer.h"

#include <QString>
#include <QStringList>

#include <filesystem>
#include <optional>

namespace zanto {

class OrganizerDialogs {
public:
    virtual ~OrganizerDialogs() = default;
    // The one-line prompt: message, initial value; the answer trimmed of white space and
    // line breaks, none when cancelled or blank.
    virtual std::optional<QString> ask(const QString& message, const QString& value) = 0;
    // An alert with buttons in the given order (the first is the default); the index pressed.
    virtual int alert(const QString& message, const QString& informative, const QStringList& buttons) = 0;
    // Chooses one playlist package, folder or file to open, named by the file
    // system's own bytes; none when cancelled.
    virtual std::optional<std::filesystem::path> choosePackage(const QString& message) = 0;
    // Chooses files to open (images, a movie); empty when cancelled. `multiple` allows several.
    virtual QStringList openFiles(const QString& message, const QStringList& nameFilters, bool multiple) = 0;
    // Save panel: default name, name filters (may be empty), default suffix (may be empty),
    // optional check box text (empty: no check box); none when cancelled.
    virtual std::optional<OrganizerSaveAnswer> save(const QString& defaultName, const QStringList& nameFilters,
                                                    const QString& suffix, const QString& checkBox) = 0;
    // A context menu at the pointer from titles; the index chosen or none.
    virtual std::optional<int> menu(const QStringList& titles) = 0;
    // Shows a file in the file manager.
    virtual void reveal(const QString& path) = 0;
};

} // namespace zanto
