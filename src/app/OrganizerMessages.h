#pragma once
#include <QJsonObject>

#include <filesystem>
#include <vector>

namespace zanto {

class Organizer;

// Where the main page's "nativeOrganizer" script messages arrive: brings the
// Organizer's window to the front, then, for the action "append", appends
// the body's clips, `media` being the movie files the user opened in the
// page, most recent last. A refusal is shown in the Organizer's status line;
// nothing goes back to the page. GUI thread.
void handleOrganizerMessage(Organizer& organizer, const QJsonObject& body,
                            const std::vector<std::filesystem::path>& media);

} // namespace zanto
