#include "organizer/Organizer.h"

#include "organizer/model/OrganizerEdits.h"
#include "services/ExportFailure.h"

namespace zanto {

void Organizer::append(const QJsonObject& body, const std::vector<std::filesystem::path>& media)
{
    if (busy()) return;
    std::optional<edits::Appended> appended = edits::appending(playlist(), currentRow(), body, media);
    if (!appended) return;
    // The caller shows the refusal; the playlist keeps nothing of this call.
    if (const std::optional<std::string> refused = edits::refusal(appended->document)) throw failure(*refused);
    commit(std::move(appended->document), {},
           QString::number(appended->items) + "件を追加しました。元のタグとは独立したコピーです。");
}

} // namespace zanto
