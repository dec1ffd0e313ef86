// Choosing, adding, renaming, removing and reordering rows.
#include "organizer/Organizer.h"

#include "organizer/OrganizerTimelinePane.h"
#include "organizer/model/OrganizerEdits.h"

namespace zanto {

void Organizer::rowChanged()
{
    reload();
}

void Organizer::addRow()
{
    if (busy()) return;
    const std::optional<QString> name = dialogs().ask("行の名前", QString());
    if (!name) return;
    OrganizerDocument candidate = edits::addingRow(playlist(), name->toStdString());
    const int last = static_cast<int>(candidate.rows.size()) - 1;
    commit(std::move(candidate), {.row = last}, {});
}

void Organizer::renameRow()
{
    if (busy()) return;
    const int row = currentRow();
    if (row >= static_cast<int>(playlist().rows.size())) return;
    const std::optional<QString> name =
        dialogs().ask("行の名前", QString::fromStdString(playlist().rows[static_cast<size_t>(row)].name));
    if (!name) return;
    commit(edits::renamingRow(playlist(), row, name->toStdString()), {}, {});
}

void Organizer::removeRow()
{
    if (busy() || playlist().rows.size() < 2) {
        message("最後の1行は削除できません。");
        return;
    }
    if (dialogs().alert("この行と行内のクリップを削除しますか？", "元の分析データや動画ファイルは変更しません。",
                        {"キャンセル", "行を削除"})
        != 1) {
        return;
    }
    // reload() keeps the index, bounded by the new row count: the next row
    // takes the removed one's place, or the new last row shows.
    commit(edits::removingRow(playlist(), currentRow()), {}, {});
}

void Organizer::moveRow(int step)
{
    if (busy()) return;
    const int target = currentRow() + step;
    if (target < 0 || target >= static_cast<int>(playlist().rows.size())) return;
    commit(edits::movingRow(playlist(), currentRow(), step), {.row = target}, {});
}

} // namespace zanto
