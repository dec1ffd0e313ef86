#include "playlist/OrganizerDocument.h"

#include "platform/FileSystem.h"
#include "playlist/PlaylistFileError.h"
#include "services/ExportFailure.h"
#include "services/JsonCoding.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace fs = std::filesystem;
using nlohmann::json;

namespace zanto {
namespace {

constexpr std::uintmax_t clipsFileLimitBytes = 25'000'000;
// One clip record may be listed many times, so a small file can ask for a
// huge playlist. A playlist file this large could not be opened again, and
// every item's JSON holds at least its texts and these fixed keys; the import
// stops before it builds such a document.
constexpr std::size_t playlistFileLimitBytes = 25'000'000;
constexpr std::size_t itemKeyBytes = 128;
const std::string unreadable = "このSCPlaylistを解析できません。";

const char* const importWarnings[] = {
    "SCPlaylistの行・順番・区間・メモ・アングル名・タイトル文字を取り込みました。",
    "映像は含まれていません。「映像を再接続」で各アングルの連続したMP4/MOVを指定してください。"
    "分割されたSCVideoは先に連続動画に書き出してください。",
    "Sportscodeの描画効果・別アングル音声・タイトル装飾は再現しません。音声は選択映像の音声です。"
    "非表示タイトルはチェックを外して保持します。",
};

// Sportscode files are read leniently: a value of the wrong JSON type counts
// as absent, and an array counts only when every element has the right type.

const json* member(const json& object, const char* key)
{
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

std::string textOr(const json& object, const char* key, const std::string& fallback)
{
    const json* value = member(object, key);
    return value && value->is_string() ? value->get<std::string>() : fallback;
}

double numberOr(const json& object, const char* key, double fallback)
{
    const json* value = member(object, key);
    return value && value->is_number() ? value->get<double>() : fallback;
}

const json* arrayOf(const json& object, const char* key, json::value_t elementType)
{
    const json* value = member(object, key);
    if (!value || !value->is_array()) return nullptr;
    const bool uniform =
        std::all_of(value->begin(), value->end(), [&](const json& element) { return element.type() == elementType; });
    return uniform ? value : nullptr;
}

const json& objectsOr(const json& object, const char* key)
{
    static const json empty = json::array();
    const json* value = arrayOf(object, key, json::value_t::object);
    return value ? *value : empty;
}

std::vector<std::string> textsOr(const json& object, const char* key)
{
    const json* value = arrayOf(object, key, json::value_t::string);
    return value ? value->get<std::vector<std::string>>() : std::vector<std::string>{};
}

std::string joined(const std::vector<std::string>& parts, const std::string& separator)
{
    std::string result;
    for (std::size_t i = 0; i < parts.size(); ++i) result += (i ? separator : "") + parts[i];
    return result;
}

// "Game 1" for ".../Game 1.mov".
std::string videoName(const std::string& path)
{
    std::string trimmed = path;
    while (!trimmed.empty() && trimmed.back() == '/') trimmed.pop_back();
    return fs::path(trimmed).filename().stem().string();
}

// One import: the parsed playlist with look-up tables built once, so that
// long clip and effect lists are not searched again for every reference.
class SportscodeImport {
public:
    explicit SportscodeImport(const json& playlist);
    OrganizerDocument build(const std::string& title);

private:
    void addSources(OrganizerDocument& document);
    OrganizerRow groupRow(const json& group);
    std::optional<OrganizerRow> unfiledRow();
    std::optional<OrganizerItem> convert(const std::string& clipID, bool isTitle = false);
    const OrganizerItem& converted(std::size_t clipIndex);
    OrganizerItem itemOf(const json& clip) const;
    void account(const OrganizerItem& item);
    std::string noteOf(const json& clip) const;
    std::string effectText(const json& clip) const;
    void pickSources(OrganizerItem& item, const json& clip, const std::string& videoID) const;

    const json& groups_;
    const json& clips_;
    const json& videos_;
    const json& effects_;
    bool titlesEnabled_ = true;
    std::unordered_map<std::string, std::size_t> firstClip_;
    std::unordered_map<std::string, std::vector<std::size_t>> effectsByID_;
    std::unordered_map<std::string, std::vector<std::string>> sourcesOfVideo_;
    // A video's "localId" -> its "id", for clips that name the video by the former.
    std::unordered_map<std::string, std::string> videoOfLocalID_;
    std::unordered_set<std::string> converted_;
    // Each clip record is converted once, however often it is listed.
    std::vector<std::optional<OrganizerItem>> built_;
    std::size_t resultBytes_ = 0;
};

const json& requiredObjects(const json& playlist, const char* key)
{
    const json* value = arrayOf(playlist, key, json::value_t::object);
    if (!value) throw failure(unreadable);
    return *value;
}

SportscodeImport::SportscodeImport(const json& playlist)
    : groups_(requiredObjects(playlist, "groups")), clips_(requiredObjects(playlist, "clips")),
      videos_(objectsOr(playlist, "videos")), effects_(objectsOr(playlist, "effects")), built_(clips_.size())
{
    if (const json* enabled = member(playlist, "titlesEnabled"); enabled && enabled->is_boolean())
        titlesEnabled_ = enabled->get<bool>();
    for (std::size_t i = 0; i < clips_.size(); ++i) {
        if (const json* id = member(clips_[i], "id"); id && id->is_string())
            firstClip_.emplace(id->get<std::string>(), i);
    }
    for (std::size_t i = 0; i < effects_.size(); ++i) effectsByID_[textOr(effects_[i], "id", "")].push_back(i);
}

OrganizerDocument SportscodeImport::build(const std::string& title)
{
    OrganizerDocument document;
    document.title = title;
    document.rows.clear();
    addSources(document);
    for (const json& group : groups_) document.rows.push_back(groupRow(group));
    if (auto unfiled = unfiledRow()) document.rows.push_back(std::move(*unfiled));

    std::unordered_set<std::string> used;
    for (const OrganizerRow& row : document.rows) {
        for (const OrganizerItem& item : row.items) used.insert(item.sourceIDs.begin(), item.sourceIDs.end());
    }
    std::erase_if(document.sources, [&](const OrganizerSource& source) { return !used.contains(source.id); });
    document.warnings.assign(std::begin(importWarnings), std::end(importWarnings));
    return document;
}

void SportscodeImport::addSources(OrganizerDocument& document)
{
    for (const json& video : videos_) {
        const std::string videoID = textOr(video, "id", "");
        if (const json* localID = member(video, "localId"); localID && localID->is_string())
            videoOfLocalID_.emplace(localID->get<std::string>(), videoID);
        const std::string name = videoName(textOr(video, "path", ""));
        for (const json& stream : objectsOr(video, "streams")) {
            const json* streamID = member(stream, "id");
            if (!streamID || !streamID->is_string()) continue;
            const std::string angle = textOr(stream, "name", "アングル");
            OrganizerSource source{
                .id = videoID + "/" + streamID->get<std::string>(),
                // A video without a file name is known by its angle alone.
                .name = name.empty() ? angle : name + " / " + angle,
                .path = "",
                .offset = 0,
            };
            sourcesOfVideo_[videoID].push_back(source.id);
            document.sources.push_back(std::move(source));
        }
    }
}

OrganizerRow SportscodeImport::groupRow(const json& group)
{
    OrganizerRow row{.id = newIdentifier(), .name = textOr(group, "name", "行"), .items = {}};
    if (const json* titleID = member(group, "titleClipId"); titleID && titleID->is_string()) {
        if (auto item = convert(titleID->get<std::string>(), true)) row.items.push_back(std::move(*item));
    }
    for (const std::string& clipID : textsOr(group, "clipIds")) {
        if (auto item = convert(clipID)) row.items.push_back(std::move(*item));
    }
    return row;
}

std::optional<OrganizerRow> SportscodeImport::unfiledRow()
{
    OrganizerRow row{.id = newIdentifier(), .name = "未分類", .items = {}};
    for (const json& clip : clips_) {
        const json* id = member(clip, "id");
        if (!id || !id->is_string() || converted_.contains(id->get<std::string>())) continue;
        if (auto item = convert(id->get<std::string>())) row.items.push_back(std::move(*item));
    }
    if (row.items.empty()) return std::nullopt;
    return row;
}

std::optional<OrganizerItem> SportscodeImport::convert(const std::string& clipID, bool isTitle)
{
    const auto found = firstClip_.find(clipID);
    if (found == firstClip_.end()) return std::nullopt;
    converted_.insert(clipID);
    // Every item gets a fresh identifier: a clip listed twice gives two items.
    OrganizerItem item = converted(found->second);
    item.id = newIdentifier();
    if (item.kind == "title") item.enabled = isTitle ? titlesEnabled_ : true;
    account(item);
    return item;
}

const OrganizerItem& SportscodeImport::converted(std::size_t clipIndex)
{
    std::optional<OrganizerItem>& slot = built_[clipIndex];
    if (!slot) slot = itemOf(clips_[clipIndex]);
    return *slot;
}

OrganizerItem SportscodeImport::itemOf(const json& clip) const
{
    const std::string videoID = textOr(clip, "videoId", "");
    OrganizerItem item;
    item.name = textOr(clip, "originalGroupName", "クリップ");
    item.note = noteOf(clip);
    item.start = numberOr(clip, "startTime", 0);
    item.end = numberOr(clip, "endTime", 3);
    if (!videoID.empty()) {
        pickSources(item, clip, videoID);
        return item;
    }
    item.kind = "title";
    const std::string text = effectText(clip);
    item.name = text.empty() ? "タイトル" : text;
    return item;
}

void SportscodeImport::account(const OrganizerItem& item)
{
    resultBytes_ += itemKeyBytes + item.name.size() + item.note.size() + item.sourceID.size();
    for (const std::string& id : item.sourceIDs) resultBytes_ += id.size() + 2;
    if (resultBytes_ >= playlistFileLimitBytes) throw failure(unreadable);
}

std::string SportscodeImport::noteOf(const json& clip) const
{
    std::vector<std::string> tags;
    if (const json* moment = member(clip, "moment"); moment && moment->is_object()) {
        for (const json& tag : objectsOr(*moment, "tags"))
            tags.push_back(textOr(tag, "key", "") + ": " + textOr(tag, "value", ""));
    }
    std::vector<std::string> parts;
    for (std::string part : {textOr(clip, "description", ""), joined(tags, " / ")}) {
        if (!part.empty()) parts.push_back(std::move(part));
    }
    return joined(parts, "\n");
}

std::string SportscodeImport::effectText(const json& clip) const
{
    // Each listed id once: a track may name one id many times, and many
    // effects may share one id.
    std::unordered_set<std::string> listed;
    for (const json& track : objectsOr(clip, "tracks")) {
        for (std::string& effectID : textsOr(track, "effectIds")) listed.insert(std::move(effectID));
    }
    std::vector<std::size_t> chosen;
    for (const std::string& effectID : listed) {
        if (const auto found = effectsByID_.find(effectID); found != effectsByID_.end())
            chosen.insert(chosen.end(), found->second.begin(), found->second.end());
    }
    // In the order of the effects list.
    std::sort(chosen.begin(), chosen.end());
    std::vector<std::string> texts;
    for (const std::size_t index : chosen) {
        if (const json* text = member(effects_[index], "text"); text && text->is_string())
            texts.push_back(text->get<std::string>());
    }
    return joined(texts, "\n");
}

void SportscodeImport::pickSources(OrganizerItem& item, const json& clip, const std::string& clipVideoID) const
{
    // Packages written by the recording software name the video's "localId"
    // where it differs from its "id"; the "id" is tried first.
    std::string videoID = clipVideoID;
    if (!sourcesOfVideo_.contains(videoID)) {
        if (const auto local = videoOfLocalID_.find(videoID); local != videoOfLocalID_.end()) videoID = local->second;
    }
    if (const auto found = sourcesOfVideo_.find(videoID); found != sourcesOfVideo_.end())
        item.sourceIDs = found->second;
    const std::vector<std::string> streams = textsOr(clip, "streamIds");
    const std::string candidate = videoID + "/" + (streams.empty() ? "" : streams.front());
    if (std::find(item.sourceIDs.begin(), item.sourceIDs.end(), candidate) != item.sourceIDs.end())
        item.sourceID = candidate;
    else
        item.sourceID = item.sourceIDs.empty() ? "" : item.sourceIDs.front();
}

} // namespace

OrganizerDocument OrganizerDocument::sportscode(const fs::path& package)
{
    try {
        return readSportscode(package);
    } catch (...) {
        rethrowForUser(package, FileAction::Open);
    }
}

OrganizerDocument OrganizerDocument::readSportscode(const fs::path& package)
{
    const fs::path folder = absoluteEntryPath(package);
    const std::optional<std::string> bytes = readFileBelow(folder / "Playlist.SCClips", clipsFileLimitBytes);
    if (!bytes) throw failure(unreadable);
    const JsonDocument parsed = JsonDocument::parse(*bytes);
    const json& root = parsed.root();
    const json* playlist = root.is_object() ? member(root, "playlist") : nullptr;
    if (!playlist || !playlist->is_object()) throw failure(unreadable);
    OrganizerDocument document = SportscodeImport(*playlist).build(folder.stem().string());
    document.validate();
    return document;
}

} // namespace zanto
