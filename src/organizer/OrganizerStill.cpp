#include "organizer/OrganizerStill.h"

#include "platform/media/FrameReader.h"
#include "platform/media/MediaError.h"
#include "services/ExportFailure.h"

#include <filesystem>
#include <mutex>

namespace zanto {

namespace {

// The last still cut, by file, its size and change time, and the time in it:
// adding a material cuts the still to try it and then shows it, and an HD
// frame a GOP past its keyframe costs a few hundred milliseconds to decode.
struct LastStill {
    std::string path;
    std::uintmax_t bytes = 0;
    std::filesystem::file_time_type changed;
    MediaTime time;
    QImage image;

    bool matches(const LastStill& other) const
    {
        return path == other.path && bytes == other.bytes && changed == other.changed && time == other.time;
    }
};

std::mutex lastStillLock;
// Guarded by lastStillLock.
LastStill lastStill;

QImage cachedStill(const std::filesystem::path& path, const MediaTime& time)
{
    std::error_code error;
    LastStill wanted{path.string(), std::filesystem::file_size(path, error), {}, time, {}};
    if (!error) wanted.changed = std::filesystem::last_write_time(path, error);
    if (error) return copyStillImage(path, time);
    {
        const std::lock_guard<std::mutex> hold(lastStillLock);
        if (lastStill.matches(wanted)) return lastStill.image;
    }
    wanted.image = copyStillImage(path, time);
    const std::lock_guard<std::mutex> hold(lastStillLock);
    lastStill = wanted;
    return wanted.image;
}

} // namespace

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
    return cachedStill(path, MediaTime::fromSeconds(*item.freezeTime + source->offset, 60000));
}

} // namespace zanto
