#include "OrganizerMessages.h"

#include "organizer/Organizer.h"

#include <QWidget>

#include <exception>

namespace zanto {

void handleOrganizerMessage(Organizer& organizer, const QJsonObject& body,
                            const std::vector<std::filesystem::path>& media)
{
    QWidget* window = organizer.window();
    window->show();
    window->raise();
    window->activateWindow();
    if (body.value("action") != QJsonValue("append")) return;
    try {
        organizer.append(body, media);
    } catch (const std::exception& error) {
        organizer.message(QString::fromUtf8(error.what()));
    }
}

} // namespace zanto
