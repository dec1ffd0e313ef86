#include "playlist/OrganizerDocument.h"

#include <cmath>
#include <string_view>
#include <unordered_set>

#include "services/ExportFailure.h"

namespace zanto {
namespace {

constexpr const char* unsupportedMessage = "未対応のプレイリストです。";
constexpr const char* invalidMessage = "プレイリストの区間または映像の参照が不正です。";

constexpr std::size_t maxRows = 1000;
constexpr std::size_t maxSources = 1000;
constexpr std::size_t maxItems = 10000;
constexpr std::size_t maxMarks = 1000;
constexpr double maxEndSeconds = 864000;

using IdSet = std::unordered_set<std::string_view>;

bool unitRange(double value)
{
    return std::isfinite(value) && value >= 0 && value <= 1;
}

bool markValid(const OrganizerMark& mark)
{
    const bool plain = mark.kind == "arrow" || mark.kind == "circle" || mark.kind == "text";
    const bool kindFits = plain ? !mark.gxl : (mark.kind == "gxl" && mark.gxl && mark.gxl->validate());
    return kindFits && unitRange(mark.x) && unitRange(mark.y) && unitRange(mark.x2) && unitRange(mark.y2);
}

bool marksValid(const OrganizerItem& item)
{
    if (!item.marks) return true;
    if (item.marks->size() > maxMarks) return false;
    for (const OrganizerMark& mark : *item.marks)
        if (!markValid(mark)) return false;
    return true;
}

bool timesValid(const OrganizerItem& item)
{
    return std::isfinite(item.start) && std::isfinite(item.end) && item.start >= 0 && item.start < item.end
           && item.end <= maxEndSeconds;
}

bool referencesValid(const OrganizerItem& item, const IdSet& sourceIDs)
{
    if (!sourceIDs.contains(item.sourceID)) return false;
    for (const std::string& id : item.sourceIDs)
        if (!sourceIDs.contains(id)) return false;
    return true;
}

bool itemValid(const OrganizerItem& item, const IdSet& sourceIDs)
{
    if (!marksValid(item)) return false;
    const bool freeze = item.kind == "freeze";
    const bool video = item.kind == "video";
    if (!video && !freeze && item.kind != "title" && item.kind != "image") return false;
    if (freeze && !(item.freezeTime && std::isfinite(*item.freezeTime) && *item.freezeTime >= 0)) return false;
    if (!timesValid(item)) return false;
    return !(video || freeze) || referencesValid(item, sourceIDs);
}

bool documentAccepted(const OrganizerDocument& document, const IdSet& sourceIDs)
{
    return document.format == "zantorix-playlist" && document.version == 1 && !document.rows.empty()
           && document.rows.size() <= maxRows && document.sources.size() <= maxSources
           && sourceIDs.size() == document.sources.size();
}

bool contentValid(const OrganizerDocument& document, const IdSet& sourceIDs)
{
    std::size_t itemCount = 0;
    for (const OrganizerRow& row : document.rows) itemCount += row.items.size();
    if (itemCount > maxItems) return false;
    IdSet itemIDs;
    itemIDs.reserve(itemCount);
    for (const OrganizerRow& row : document.rows)
        for (const OrganizerItem& item : row.items) itemIDs.insert(item.id);
    if (itemIDs.size() != itemCount) return false;
    for (const OrganizerSource& source : document.sources)
        if (!std::isfinite(source.offset)) return false;
    for (const OrganizerRow& row : document.rows)
        for (const OrganizerItem& item : row.items)
            if (!itemValid(item, sourceIDs)) return false;
    return true;
}

} // namespace

void OrganizerDocument::validate() const
{
    IdSet sourceIDs;
    sourceIDs.reserve(sources.size());
    for (const OrganizerSource& source : sources) sourceIDs.insert(source.id);
    if (!documentAccepted(*this, sourceIDs)) throw failure(unsupportedMessage);
    if (!contentValid(*this, sourceIDs)) throw failure(invalidMessage);
}

} // namespace zanto
