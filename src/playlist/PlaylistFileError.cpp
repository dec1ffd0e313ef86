#include "playlist/PlaylistFileError.h"

#include "services/JsonCoding.h"

#include <cerrno>

namespace zanto {
namespace {

// Opening a location that exists but holds no readable playlist where one
// should be (a folder without "playlist.json", a plain file) is the file's
// fault rather than a missing file.
bool notAPlaylist(const std::error_code& code, const std::filesystem::path& chosen, FileAction action)
{
    const int error = code.value();
    std::error_code ignored;
    return action == FileAction::Open && (error == ENOENT || error == ENOTDIR || error == EISDIR)
           && std::filesystem::exists(chosen, ignored);
}

} // namespace

void rethrowForUser(const std::filesystem::path& chosen, FileAction action)
{
    try {
        throw;
    } catch (const UserFileError&) {
        throw;
    } catch (const DecodingError& error) {
        throw DecodingError(withDetail(notAPlaylistSentence(chosen), error.what()));
    } catch (const std::system_error& error) {
        const std::error_code code = error.code();
        if (code.category() != std::generic_category() && code.category() != std::system_category()) throw;
        if (notAPlaylist(code, chosen, action)) throw UserFileError(code, notAPlaylistSentence(chosen));
        throw UserFileError(code, chosen, action);
    }
}

} // namespace zanto
