#pragma once
// Shows a file selected in the user's file manager.
#include <QString>

namespace zanto {

// Asks the session bus's org.freedesktop.FileManager1 to show `path` and
// returns at once; the call goes out asynchronously, so a slow or activating
// file manager never blocks the GUI. When there is no session bus or the call
// fails (no such service), the file's folder is opened with the desktop's
// default handler instead. GUI thread; needs a running QGuiApplication for the
// fallback.
void revealInFileManager(const QString& path);

} // namespace zanto
