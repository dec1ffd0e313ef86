#pragma once

namespace zanto {

// Makes Qt's own dialogs (files, colours, message boxes) speak Japanese like
// the rest of the window, whatever the desktop's language: makes Japanese the
// application's locale and installs Qt's Japanese catalogue from Qt's
// translations folder on the application.
// False, with a warning on the console, when the catalogue is not installed;
// the dialogs then stay in English. Call once, on the GUI thread, after the
// application object exists.
bool installQtTranslations();

} // namespace zanto
