#pragma once
// Chooses one playlist to open: a playlist package, a Sportscode playlist, a
// plain folder or any file. Packages (folders named *.zantoplaylist or
// *.scplaylist, in any case) are single items: a double click or "開く"
// chooses them and never enters them. A plain folder opens on a double click
// (or Return), and selecting it and pressing "開く" chooses it, since a package
// saved under a name without extension is a plain folder to the file system.
// The location field takes a typed path: a plain folder is entered, anything
// else that exists is chosen. The list holds every entry by the file system's
// own bytes, so a name that is not UTF-8 is listed and chosen like any other
// (shown with stand-ins for the bytes it cannot show). App-modal, parented;
// GUI thread only.
#include <QString>

#include <filesystem>
#include <optional>

class QWidget;

namespace zanto {

// Whether `path` is a folder that stands for one playlist.
bool isOrganizerPackage(const std::filesystem::path& path);

// The absolute path chosen, or none when cancelled. `message` is shown above
// the list. The chooser opens in the folder it last showed (at first the home
// folder).
std::optional<std::filesystem::path> runOrganizerPackageChooser(QWidget* parent, const QString& message);

} // namespace zanto
