#pragma once
// Small builders for the Organizer's controls, shared by the files that lay
// out its window.
#include <QString>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace zanto::controls {

// A top-aligned vertical layout of `owner`, no margins.
QVBoxLayout* column(QWidget* owner, int spacing = 8);
// A horizontal layout without margins, for a row of controls.
QHBoxLayout* row(int spacing);
// A non-editable, non-selectable label of plain text.
QLabel* label(const QString& text, bool wrapping = false);
QLineEdit* field(const QString& placeholder = {});
// A push button in the small control size.
QPushButton* button(const QString& title);
void setPixelFont(QWidget* widget, int pixels, bool bold = false);
// A tool tip that shows `text` as it is, markup and line breaks included.
QString plainToolTip(const QString& text);

} // namespace zanto::controls
