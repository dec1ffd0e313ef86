#pragma once
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

// What a person reads when the system cannot open or save a file they
// chose: a Japanese sentence naming that file (never a hidden work folder or
// a temporary file behind it), then the technical detail in brackets. Pure;
// any thread.

namespace zanto {

// Open: a document the person opens; Read: a file some work of theirs reads
// (a movie an export cuts from); Save: a file written where they chose.
enum class FileAction { Open, Read, Save };

// The sentence for a failure with `error` (an errno value, 0 for none known)
// while opening, reading or saving `chosen`: missing, no permission, a
// read-only place, no space left, too large, a folder in the way, or the
// plain "cannot open/read/save" for anything else.
std::string userFileSentence(int error, const std::filesystem::path& chosen, FileAction action);

// "「a」、「b」を読み込めません。": the files some work of theirs could not
// read, one after another, each named once, in order.
std::string cannotReadSentence(const std::vector<std::filesystem::path>& files);

// "「name」は有効なプレイリストファイルではありません。"
std::string notAPlaylistSentence(const std::filesystem::path& chosen);

// `sentence` followed by "（detail）" when there is a detail.
std::string withDetail(const std::string& sentence, const std::string& detail);

// A platform failure retold for the person who chose `chosen`: the same
// error code (callers and tests still tell failures apart by it) and a
// what() of userFileSentence() (or the sentence given) with the system's
// own text of the code.
class UserFileError : public std::system_error {
public:
    UserFileError(std::error_code code, const std::filesystem::path& chosen, FileAction action);
    UserFileError(std::error_code code, const std::string& sentence);
    const char* what() const noexcept override { return text_.c_str(); }

private:
    std::string text_;
};

} // namespace zanto
