#pragma once
#include <QString>

namespace zanto {

// What a confirmed save panel gives: the chosen path and the state of its
// check box (false when it had none).
struct OrganizerSaveAnswer {
    QString path;
    bool checked = false;
};

} // namespace zanto
