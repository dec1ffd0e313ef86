#include "platform/media/StandingLayers.h"

#include <algorithm>

namespace zanto::media {

std::shared_ptr<const YuvOverlay> StandingLayers::tables(const QImage& picture)
{
    std::lock_guard lock(mutex_);
    const qint64 key = picture.cacheKey();
    const auto found = std::find_if(kept_.begin(), kept_.end(), [&](const auto& entry) { return entry.first == key; });
    if (found != kept_.end()) return found->second;
    kept_.emplace_front(key, std::make_shared<const YuvOverlay>(picture));
    if (kept_.size() > kKept) kept_.pop_back();
    return kept_.front().second;
}

} // namespace zanto::media
