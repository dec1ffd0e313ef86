#include "playlist/ExportFileError.h"

#include "platform/UserFileError.h"
#include "platform/media/MediaError.h"
#include "services/ExportFailure.h"

#include <algorithm>
#include <system_error>

namespace zanto {
namespace {

// The source movie `message` names, or nothing; the media layer puts a
// file's name between “ and ”.
const OrganizerSource* namedSource(const OrganizerDocument& document, const std::string& message)
{
    const auto named = std::find_if(document.sources.begin(), document.sources.end(), [&](const OrganizerSource& s) {
        return !s.path.empty() && message.find("“" + s.path + "”") != std::string::npos;
    });
    return named == document.sources.end() ? nullptr : &*named;
}

const OrganizerSource* sourceAt(const OrganizerDocument& document, const std::filesystem::path& path)
{
    const auto found = std::find_if(document.sources.begin(), document.sources.end(),
                                    [&](const OrganizerSource& s) { return !s.path.empty() && path == s.path; });
    return found == document.sources.end() ? nullptr : &*found;
}

[[noreturn]] void fail(int error, const OrganizerSource* source, const std::filesystem::path& chosen,
                       const std::string& detail)
{
    const std::string sentence = source ? userFileSentence(error, source->path, FileAction::Read)
                                        : userFileSentence(error, chosen, FileAction::Save);
    throw failure(withDetail(sentence, detail));
}

bool isSystemError(const std::error_code& code)
{
    return code.category() == std::generic_category() || code.category() == std::system_category();
}

} // namespace

void rethrowExportFailure(const OrganizerDocument& document, const std::filesystem::path& chosen)
{
    try {
        throw;
    } catch (const MediaError& error) {
        // Without FFmpeg's code the media layer's sentence is the only detail.
        fail(error.systemError(), namedSource(document, error.what()), chosen,
             error.code() ? error.detail() : error.what());
    } catch (const std::filesystem::filesystem_error& error) {
        if (!isSystemError(error.code())) throw;
        fail(error.code().value(), sourceAt(document, error.path1()), chosen, error.code().message());
    } catch (const std::system_error& error) {
        if (!isSystemError(error.code())) throw;
        fail(error.code().value(), nullptr, chosen, error.code().message());
    }
}

} // namespace zanto
