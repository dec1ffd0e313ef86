#pragma once
// Qt's own file dialog, as the Organizer opens it: the widget dialog (so that
// what it shows is ours to shape), its list in the application's language.
// GUI thread only.
class QFileDialog;

namespace zanto {

// Makes `dialog` Qt's widget dialog and has its list show dates in the
// application's locale (QLocale's default) and a folder's type in Japanese,
// as the file types already are (the MIME database answers in that locale);
// Qt itself formats the dates in the system's locale and names a folder in
// English.
void localizeFileDialog(QFileDialog& dialog);

} // namespace zanto
