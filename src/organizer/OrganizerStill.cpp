#include "organizer/OrganizerStill.h"

#include "platform/media/FrameReader.h"
#include "platform/media/MediaError.h"
#include "services/ExportFailure.h"

#include <filesystem>

namespace zanto {

QImage freezeImage(const OrganizerItem& item, const OrganizerDocument& document)
{
    const OrganizerSource* source = document.source(item.sourceID);
    if (!source || !item.freezeTime) throw failure("静止画の元映像が見つかりません。");
    const std::filesystem::path path(source->path);
    std::error_code error;
    // Opening a pipe would wait for a writer; a missing file is left to the
    // reader, whose error names it.
    if (std::filesystem::exists(path, error) && !std::filesystem::is_regular_file(path, error))
        throw MediaError(source->path + ": Not a movie file");
    return copyStillImage(path, MediaTime::fromSeconds(*item.freezeTime + source->offset, 60000));
}

} // namespace zanto
