#include "platform/UserFileError.h"

#include <algorithm>
#include <cerrno>

namespace zanto {
namespace {

// The name the person knows the file by: its last component.
std::string shownName(const std::filesystem::path& chosen)
{
    std::filesystem::path name = chosen.filename();
    if (name.empty()) name = chosen.parent_path().filename(); // a folder given with a trailing "/"
    return "「" + name.string() + "」";
}

} // namespace

std::string userFileSentence(int error, const std::filesystem::path& chosen, FileAction action)
{
    const std::string name = shownName(chosen);
    const bool save = action == FileAction::Save;
    switch (error) {
    case ENOENT:
    case ENOTDIR: // a part of the way is a file, not a folder
        return save ? name + "を保存できません。保存先のフォルダが見つかりません。" : name + "が見つかりません。";
    case EROFS:
        // A read-only place refuses everyone alike: no permission would help.
        if (save) return name + "を保存できません。保存先は読み出し専用です。";
        break;
    case EACCES:
    case EPERM:
        return name + (save ? "を保存する権限がありません。" : "を開く権限がありません。");
    case ENOSPC:
    case EDQUOT:
        return name + "を保存できません。ディスクの空き容量が足りません。";
    case EFBIG:
        return save ? name + "を保存できません。ファイルが大きすぎます。" : name + "は大きすぎます。";
    case EISDIR:
        if (save) return name + "を保存できません。同じ名前のフォルダがあります。";
        break;
    default:
        break;
    }
    switch (action) {
    case FileAction::Open:
        return name + "を開けません。";
    case FileAction::Read:
        return name + "を読み込めません。";
    case FileAction::Save:
        break;
    }
    return name + "を保存できません。";
}

std::string cannotReadSentence(const std::vector<std::filesystem::path>& files)
{
    std::vector<std::string> names;
    for (const std::filesystem::path& file : files) {
        const std::string name = shownName(file);
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    std::string sentence;
    for (const std::string& name : names) sentence += (sentence.empty() ? "" : "、") + name;
    return sentence + "を読み込めません。";
}

std::string notAPlaylistSentence(const std::filesystem::path& chosen)
{
    return shownName(chosen) + "は有効なプレイリストファイルではありません。";
}

std::string withDetail(const std::string& sentence, const std::string& detail)
{
    return detail.empty() ? sentence : sentence + "（" + detail + "）";
}

UserFileError::UserFileError(std::error_code code, const std::filesystem::path& chosen, FileAction action)
    : UserFileError(code, userFileSentence(code.value(), chosen, action))
{ }

UserFileError::UserFileError(std::error_code code, const std::string& sentence)
    : std::system_error(code), text_(withDetail(sentence, code.message()))
{ }

} // namespace zanto
