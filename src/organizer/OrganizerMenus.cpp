// The toolbar's pop-up menus. Each entry performs a row of OrganizerActions,
// so an entry obeys the same busy rule as the command's other controls.
#include "organizer/Organizer.h"

#include "organizer/OrganizerActions.h"

namespace zanto {

void Organizer::popup(const std::vector<std::pair<QString, const char*>>& entries)
{
    QStringList titles;
    for (const auto& entry : entries) titles << entry.first;
    const std::optional<int> chosen = dialogs().menu(titles);
    if (chosen && *chosen >= 0 && *chosen < static_cast<int>(entries.size())) {
        perform(QString::fromLatin1(entries[static_cast<size_t>(*chosen)].second));
    }
}

void Organizer::showMore()
{
    popup({{"タイトルを追加", "addTitle"},
           {"画像・スライドを追加", "addImage"},
           {"行名を変更", "renameRow"},
           {"行を上へ", "rowUp"},
           {"行を下へ", "rowDown"},
           {"行を削除", "removeRow"},
           {"タグを複製", "duplicate"},
           {"タグを削除", "removeItems"},
           {"書き出しを中止", "cancelExport"}});
}

void Organizer::showExport()
{
    popup({{"Final Cut Pro XML…", "chooseXMLExport"},
           // The key is named, not bound: the menu entry itself has no shortcut.
           {"開いているクリップをMP4書出（Ctrl+Shift+E）", "exportCurrentVideo"},
           {"全行を書き出す", "exportAll"},
           {"選択クリップを書き出す", "exportSelection"},
           {"書き出しを中止", "cancelExport"}});
}

} // namespace zanto
