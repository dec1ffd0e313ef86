#pragma once
// Chooses one playlist to open: a playlist package, a Sportscode playlist, a
// plain folder or any file. Packages (folders named *.zantoplaylist or
// *.scplaylist, in any case) are single items: a double click or "開く"
// chooses them and never enters them. A plain folder opens on a double click
// (or Return), and selecting it and pressing "開く" chooses it, since a package
// saved under a name without extension is a plain folder to the file system.
// The location field takes a typed path: a plain folder is entered, anything
// else that exists is chosen. App-modal, parented; GUI thread only.
#include <QString>

#include <optional>

class QFileInfo;
class QWidget;

namespace zanto {

// Whether `info` is a folder that stands for one playlist.
bool isOrganizerPackage(const QFileInfo& info);

// The absolute path chosen, or none when cancelled. `message` is shown above
// the list. The chooser opens in the folder it last showed (at first the home
// folder).
std::optional<QString> runOrganizerPackageChooser(QWidget* parent, const QString& message);

} // namespace zanto
