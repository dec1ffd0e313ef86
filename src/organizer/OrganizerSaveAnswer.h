#pragma once
// What the save panel answers: the path as the user left it and the state of
// its optional check box.
#include <QString>

namespace zanto {

struct OrganizerSaveAnswer {
    QString path;
    bool checked = false;
};

} // namespace zanto
