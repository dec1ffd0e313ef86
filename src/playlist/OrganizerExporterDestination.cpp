// The edges of both exports: the checks before anything is written, the
// hidden file a movie is written to and renamed from, and what the person
// reads when the disk or a movie fails.
#include "playlist/OrganizerExporter.h"

#include "platform/FileSystem.h"
#include "playlist/ExportFileError.h"
#include "services/ExportFailure.h"

namespace zanto {
namespace {

// ".zanto-<identifier>.mp4": the movie while it is written.
constexpr WorkName hiddenMovie{".zanto-", ".mp4"};

void checkItems(const OrganizerDocument& document, const std::vector<OrganizerItem>& items)
{
    document.validate();
    if (items.empty() || items.size() > 1000) throw failure("1〜1000件を選んでください。");
}

} // namespace

void OrganizerExporter::render(const OrganizerDocument& document, const std::vector<OrganizerItem>& items,
                               const std::filesystem::path& url, const Progress& progress)
{
    try {
        checkItems(document, items);
        // A caller without a progress display may pass an empty callback.
        renderInPlace(document, items, url, progress ? progress : Progress([](double, const std::string&) {}));
    } catch (...) {
        rethrowExportFailure(document, url);
    }
}

void OrganizerExporter::exportXML(const OrganizerDocument& document, const std::vector<OrganizerItem>& items,
                                  const std::string& title, const std::filesystem::path& url, const Progress& progress)
{
    try {
        checkItems(document, items);
        writeXML(document, items, title, url, progress);
    } catch (...) {
        rethrowExportFailure(document, url);
    }
}

void OrganizerExporter::renderInPlace(const OrganizerDocument& document, const std::vector<OrganizerItem>& items,
                                      const std::filesystem::path& url, const Progress& progress)
{
    // What exports killed in the middle left here; a running one holds its
    // own file locked until it is renamed into place.
    removeAbandonedSiblings(url, hiddenMovie, SiblingKind::File);
    LockedFile hidden = LockedFile::create(url, hiddenMovie.prefix, hiddenMovie.suffix);
    renderMovie(document, items, hidden.path(), progress);
    flushFile(hidden.path());
    // A folder at `url` refuses the rename and stays as it was.
    hidden.moveTo(url);
    syncToDisk(absoluteEntryPath(url).parent_path());
    progress(1.0, "保存しました：" + url.string());
}

} // namespace zanto
