#include "organizer/model/OrganizerEdits.h"

#include "services/ExportFailure.h"
#include "services/MediaExporter.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QVariant>

#include "platform/Identifier.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>

namespace zanto::edits {

std::optional<OrganizerItemPlace> findItem(const OrganizerDocument& document, const std::string& id)
{
    for (size_t row = 0; row < document.rows.size(); ++row) {
        const auto& items = document.rows[row].items;
        const auto found =
            std::find_if(items.begin(), items.end(), [&](const OrganizerItem& item) { return item.id == id; });
        if (found != items.end()) {
            return OrganizerItemPlace{static_cast<int>(row), static_cast<int>(found - items.begin())};
        }
    }
    return std::nullopt;
}

const OrganizerItem* itemWithId(const OrganizerDocument& document, const std::string& id)
{
    const std::optional<OrganizerItemPlace> place = findItem(document, id);
    if (!place) return nullptr;
    return &document.rows[static_cast<size_t>(place->row)].items[static_cast<size_t>(place->index)];
}

std::optional<std::string> refusal(const OrganizerDocument& candidate)
{
    try {
        candidate.validate();
        return std::nullopt;
    } catch (const ExportFailure& failure) {
        return failure.message;
    }
}

OrganizerDocument replacingItem(const OrganizerDocument& document, const OrganizerItem& item)
{
    OrganizerDocument result = document;
    if (const std::optional<OrganizerItemPlace> place = findItem(document, item.id)) {
        result.rows[static_cast<size_t>(place->row)].items[static_cast<size_t>(place->index)] = item;
    }
    return result;
}

OrganizerDocument removingItems(const OrganizerDocument& document, int row, const std::set<std::string>& ids)
{
    OrganizerDocument result = document;
    if (row < 0 || row >= static_cast<int>(result.rows.size())) return result;
    std::erase_if(result.rows[static_cast<size_t>(row)].items,
                  [&](const OrganizerItem& item) { return ids.count(item.id) > 0; });
    return result;
}

namespace {

constexpr double lastFrame = 0.03333333333333333;
constexpr double shortestHead = 0.001;
constexpr double stillLength = 5;
constexpr size_t materialsPerStill = 12;

bool hasRow(const OrganizerDocument& document, int row)
{
    return row >= 0 && row < static_cast<int>(document.rows.size());
}

std::vector<OrganizerItem>& itemsOf(OrganizerDocument& document, int row)
{
    return document.rows[static_cast<size_t>(row)].items;
}

} // namespace

OrganizerDocument settingMarks(const OrganizerDocument& document, const std::string& id,
                               std::vector<OrganizerMark> marks)
{
    const OrganizerItem* found = itemWithId(document, id);
    if (!found) return document;
    OrganizerItem item = *found;
    item.marks = std::move(marks);
    return replacingItem(document, item);
}

double freezeTime(const OrganizerItem& video, double playerSeconds, double offset)
{
    double x = playerSeconds - offset;
    if (!std::isfinite(x)) x = video.start;
    return std::max(video.start, std::min(video.end - lastFrame, x));
}

OrganizerItem freezeOf(const OrganizerItem& video, double freezeTime, std::string id)
{
    OrganizerItem freeze;
    freeze.id = std::move(id);
    freeze.kind = "freeze";
    freeze.freezeTime = freezeTime;
    freeze.name = "❄ 5秒 / " + video.name;
    freeze.note = video.note;
    freeze.start = 0;
    freeze.end = stillLength;
    freeze.sourceIDs = video.sourceIDs;
    freeze.sourceID = video.sourceID;
    freeze.imagePath = "";
    freeze.enabled = true;
    freeze.marks = std::vector<OrganizerMark>{};
    freeze.labels = video.labels;
    return freeze;
}

OrganizerDocument cuttingFreeze(const OrganizerDocument& document, const std::string& videoId,
                                const OrganizerItem& freeze, const std::string& tailId)
{
    const std::optional<OrganizerItemPlace> place = findItem(document, videoId);
    if (!place || !freeze.freezeTime) return document;
    OrganizerDocument result = document;
    auto& items = result.rows[static_cast<size_t>(place->row)].items;
    const OrganizerItem video = items[static_cast<size_t>(place->index)];
    const double f = *freeze.freezeTime;
    std::vector<OrganizerItem> pieces;
    if (video.start + shortestHead < f) {
        pieces.push_back(video);
        pieces.back().end = f;
    }
    pieces.push_back(freeze);
    if (f < video.end) {
        pieces.push_back(video);
        pieces.back().id = tailId;
        pieces.back().start = f;
    }
    const auto at = items.begin() + place->index;
    items.insert(items.erase(at), pieces.begin(), pieces.end());
    return result;
}

OrganizerMark materialMark(const std::string& tool)
{
    const GXLSettings settings = GXLSettings::material(tool);
    const GXLPoint first = settings.points.empty() ? GXLPoint{0.5, 0.5} : settings.points.front();
    const GXLPoint last = settings.points.empty() ? first : settings.points.back();
    return OrganizerMark{"gxl", first.x, first.y, last.x, last.y, "", settings};
}

OrganizerDocument addingMaterial(const OrganizerDocument& document, const std::string& id, const OrganizerMark& mark)
{
    const OrganizerItem* item = itemWithId(document, id);
    if (!item) return document;
    std::vector<OrganizerMark> marks = item->marks.value_or(std::vector<OrganizerMark>{});
    const auto telestrations =
        std::count_if(marks.begin(), marks.end(), [](const OrganizerMark& each) { return each.gxl.has_value(); });
    if (static_cast<size_t>(telestrations) >= materialsPerStill)
        throw ExportFailure("1枚の静止画の素材は12個までです。");
    marks.push_back(mark);
    return settingMarks(document, id, std::move(marks));
}

OrganizerDocument addingRow(const OrganizerDocument& document, std::string name)
{
    OrganizerDocument result = document;
    OrganizerRow row;
    row.name = std::move(name);
    result.rows.push_back(std::move(row));
    return result;
}

OrganizerDocument renamingRow(const OrganizerDocument& document, int row, std::string name)
{
    OrganizerDocument result = document;
    if (hasRow(result, row)) result.rows[static_cast<size_t>(row)].name = std::move(name);
    return result;
}

OrganizerDocument removingRow(const OrganizerDocument& document, int row)
{
    OrganizerDocument result = document;
    if (hasRow(result, row)) result.rows.erase(result.rows.begin() + row);
    return result;
}

OrganizerDocument movingRow(const OrganizerDocument& document, int row, int step)
{
    OrganizerDocument result = document;
    if (hasRow(result, row) && hasRow(result, row + step)) {
        std::swap(result.rows[static_cast<size_t>(row)], result.rows[static_cast<size_t>(row + step)]);
    }
    return result;
}

OrganizerDocument insertingItems(const OrganizerDocument& document, int row, int position,
                                 const std::vector<OrganizerItem>& items)
{
    OrganizerDocument result = document;
    if (!hasRow(result, row)) return result;
    std::vector<OrganizerItem>& target = itemsOf(result, row);
    const int at = std::clamp(position, 0, static_cast<int>(target.size()));
    target.insert(target.begin() + at, items.begin(), items.end());
    return result;
}

OrganizerDocument duplicatingItems(const OrganizerDocument& document, int row, const std::set<std::string>& ids)
{
    if (!hasRow(document, row)) return document;
    const std::vector<OrganizerItem>& items = document.rows[static_cast<size_t>(row)].items;
    std::vector<OrganizerItem> copies;
    for (const OrganizerItem& item : items) {
        if (!ids.count(item.id)) continue;
        copies.push_back(item);
        copies.back().id = newIdentifier();
    }
    return insertingItems(document, row, static_cast<int>(items.size()), copies);
}

OrganizerItem titleItem(std::string name)
{
    OrganizerItem item;
    item.kind = "title";
    item.name = std::move(name);
    return item;
}

OrganizerItem imageItem(const std::string& path)
{
    OrganizerItem item;
    item.kind = "image";
    item.name = std::filesystem::path(path).stem().string();
    item.imagePath = std::filesystem::absolute(path).string();
    return item;
}

} // namespace zanto::edits

namespace zanto::edits {

namespace {

std::optional<double> number(const QJsonValue& value)
{
    if (!value.isDouble()) return std::nullopt;
    return value.toDouble();
}

std::optional<std::string> text(const QJsonValue& value)
{
    if (!value.isString()) return std::nullopt;
    return value.toString().toStdString();
}

// Every element an object, or none.
std::optional<std::vector<QJsonObject>> objects(const QJsonValue& value)
{
    if (!value.isArray()) return std::nullopt;
    std::vector<QJsonObject> result;
    for (const QJsonValue& element : value.toArray()) {
        if (!element.isObject()) return std::nullopt;
        result.push_back(element.toObject());
    }
    return result;
}

// A list of strings; anything else (one element that is not a string
// included) means no labels.
std::optional<std::vector<std::string>> labels(const QJsonValue& value)
{
    if (!value.isArray()) return std::nullopt;
    std::vector<std::string> result;
    for (const QJsonValue& element : value.toArray()) {
        if (!element.isString()) return std::nullopt;
        result.push_back(element.toString().toStdString());
    }
    return result;
}

std::optional<OrganizerSource> pageSource(const QJsonObject& entry, const std::string& title,
                                          const std::vector<std::filesystem::path>& media)
{
    const std::optional<std::string> name = text(entry["name"]);
    const std::optional<std::int64_t> size = exactInteger(entry["size"]);
    if (!name || !size || !entry["id"].isString()) return std::nullopt;
    const ExportRequest::Source identity{*name, *size, number(entry["duration"]).value_or(0)};
    // The most recently opened file wins.
    const auto match = std::find_if(media.rbegin(), media.rend(), [&](const std::filesystem::path& file) {
        return MediaExporter::matches(file, identity);
    });
    return OrganizerSource{.name = title + " / " + text(entry["title"]).value_or(*name),
                           .path = match == media.rend() ? std::string() : match->string(),
                           .offset = number(entry["offset"]).value_or(0)};
}

} // namespace

std::optional<std::int64_t> exactInteger(const QJsonValue& value)
{
    if (!value.isDouble()) return std::nullopt;
    const QVariant stored = value.toVariant();
    if (stored.typeId() == QMetaType::LongLong) return stored.toLongLong();
    const double number = value.toDouble();
    // 2^63 is the first double out of range; every integral one below is exact.
    constexpr double limit = 9223372036854775808.0;
    if (std::trunc(number) != number || number < -limit || number >= limit) return std::nullopt;
    return static_cast<std::int64_t>(number);
}

std::optional<Appended> appending(const OrganizerDocument& document, int row, const QJsonObject& body,
                                  const std::vector<std::filesystem::path>& media)
{
    const std::optional<std::vector<QJsonObject>> sources = objects(body["sources"]);
    const std::optional<std::vector<QJsonObject>> clips = objects(body["clips"]);
    if (!sources || !clips) return std::nullopt;
    Appended result{document, 0};
    const std::string title = text(body["title"]).value_or("");
    std::vector<std::string> ids;
    for (const QJsonObject& entry : *sources) {
        if (std::optional<OrganizerSource> source = pageSource(entry, title, media)) {
            ids.push_back(source->id);
            result.document.sources.push_back(std::move(*source));
        }
    }
    if (row < 0 || row >= static_cast<int>(result.document.rows.size())) return result;
    auto& items = result.document.rows[static_cast<size_t>(row)].items;
    for (const QJsonObject& clip : *clips) {
        const std::optional<double> start = number(clip["start"]);
        const std::optional<double> end = number(clip["end"]);
        if (!start || !end || ids.empty()) continue;
        items.push_back(OrganizerItem{.name = text(clip["name"]).value_or("クリップ"),
                                      .note = text(clip["note"]).value_or(""),
                                      .start = *start,
                                      .end = *end,
                                      .sourceIDs = ids,
                                      .sourceID = ids.front(),
                                      .labels = labels(clip["labels"])});
        result.items += 1;
    }
    return result;
}

} // namespace zanto::edits
