#include "playlist/OrganizerExporter.h"

#include <charconv>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include <pugixml.hpp>

#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/Identifier.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaTime.h"
#include "playlist/OrganizerExporterComposition.h"
#include "services/ExportFailure.h"
#include "services/MediaExporter.h"
#include "services/XmlText.h"

// The merged export builds nothing of its own from the playlist: every format,
// asset and clip comes from the clip exporter's one-clip document, renumbered
// and laid end to end, so both writers always agree on the layout.

namespace zanto {
namespace {

namespace fs = std::filesystem;

constexpr const char* reconnect = "映像を再接続してください：";
constexpr const char* unbuildable = "XMLを構成できません。";
constexpr const char* preparing = "XML素材を準備中";

// A video item without marks is referenced where it lies; anything else must
// be rendered first.
bool isInPlace(const OrganizerItem& item)
{
    return item.kind == "video" && (!item.marks || item.marks->empty());
}

// The folder of rendered movies beside the destination. It is removed on every
// way out unless the export finished with at least one movie in it.
class MaterialsFolder {
public:
    MaterialsFolder(const fs::path& destination, const std::string& title)
        : path_(absoluteEntryPath(destination).parent_path()
                / (safeFilename(title) + "-素材-" + newIdentifier().substr(0, 8)))
    {
        fs::create_directories(path_);
    }
    ~MaterialsFolder()
    {
        if (keep_) return;
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    MaterialsFolder(const MaterialsFolder&) = delete;
    MaterialsFolder& operator=(const MaterialsFolder&) = delete;

    const fs::path& path() const { return path_; }
    void keep() { keep_ = true; }

private:
    fs::path path_;
    bool keep_ = false;
};

// Sets an attribute afresh: the old one (if any) goes, the new one is added.
void attr(pugi::xml_node element, const char* name, const std::string& value)
{
    element.remove_attribute(name);
    element.append_attribute(name).set_value(value.c_str());
}

// The ids of item i: the one-clip document's "r1" and "r2" become r(2i+1) and
// r(2i+2), so every item owns its own format and asset.
struct IdMap {
    std::string format;
    std::string asset;

    explicit IdMap(std::size_t index) : format(id(2 * index + 1)), asset(id(2 * index + 2)) { }

    static std::string id(std::size_t number)
    {
        std::string text = std::to_string(number);
        text.insert(text.begin(), 'r');
        return text;
    }
};

void remap(pugi::xml_node element, const IdMap& map)
{
    for (const char* name : {"id", "ref", "format"}) {
        const std::string_view value = element.attribute(name).value();
        if (value == "r1")
            attr(element, name, map.format);
        else if (value == "r2")
            attr(element, name, map.asset);
    }
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element) remap(child, map);
}

template <typename Number>
Number readNumber(std::string_view text, Number fallback)
{
    Number number{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size() ? number : fallback;
}

// A time as the one-clip documents write it ("75/25s"), kept unreduced; a
// plain number of seconds ("3s") is taken at time scale 60000.
MediaTime parseTime(std::string_view text)
{
    if (!text.empty()) text.remove_suffix(1);
    std::vector<std::string_view> pieces;
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t slash = std::min(text.find('/', at), text.size());
        if (slash > at) pieces.push_back(text.substr(at, slash - at));
        at = slash + 1;
    }
    if (pieces.size() == 2) {
        const std::int32_t timeScale = readNumber<std::int32_t>(pieces[1], 1);
        return MediaTime{readNumber<std::int64_t>(pieces[0], 0), timeScale > 0 ? timeScale : 1};
    }
    const double seconds = readNumber<double>(pieces.empty() ? std::string_view("0") : pieces[0], 0);
    return MediaTime::fromSeconds(seconds, 60000);
}

// The movie an item's clip is cut from and the clip's range in it (seconds).
struct PartMedia {
    fs::path file;
    double start = 0;
    double end = 0;
};

PartMedia inPlaceMedia(const OrganizerDocument& document, const OrganizerItem& item)
{
    const OrganizerSource* source = document.source(item.sourceID);
    if (!source || source->path.empty()) throw failure(reconnect + item.name);
    return PartMedia{source->path, item.start + source->offset, item.end + source->offset};
}

// Each movie of the export probed once: most items of a playlist share a few
// source videos, and the probe is most of the cost of an in-place item. A file
// that is not a movie is kept as an asset without video, which the clip
// exporter refuses with its own message.
class SourceProbes {
public:
    const MediaAsset& of(const fs::path& file)
    {
        const auto known = assets_.find(file);
        if (known != assets_.end()) return known->second;
        MediaAsset asset;
        try {
            asset = MediaAsset::load(file);
        } catch (const std::exception&) { }
        return assets_.emplace(file, std::move(asset)).first->second;
    }

private:
    std::map<fs::path, MediaAsset> assets_;
};

// The clip exporter's one-clip document for one item, built in memory.
void buildPart(pugi::xml_document& part, const PartMedia& media, const OrganizerItem& item, SourceProbes& probes)
{
    const MediaAsset& asset = probes.of(media.file);
    const double duration = asset.hasVideo() ? asset.duration.seconds() : 0;
    const ExportRequest::Source identity{media.file.filename().string(), std::int64_t(fs::file_size(media.file)),
                                         duration};
    const Clip clip{media.start, media.end, item.name, item.note, item.labels.value_or(std::vector<std::string>{})};
    const ExportRequest request{newIdentifier(), "fcpxml", "part", identity, {clip}};
    const std::string text = MediaExporter().document(request, media.file, &asset);
    const pugi::xml_parse_result parsed = part.load_buffer(text.data(), text.size());
    if (!parsed) throw std::runtime_error(media.file.string() + ": " + parsed.description());
}

// The merged output: every item's format and asset, and its clip on one spine.
struct MergedTimeline {
    pugi::xml_document resourcesHolder;
    pugi::xml_document spineHolder;
    pugi::xml_node resources = resourcesHolder.append_child("resources");
    pugi::xml_node spine = spineHolder.append_child("spine");
    MediaTime offset = MediaTime::zero();

    void add(const pugi::xml_document& part, const IdMap& map)
    {
        for (const pugi::xpath_node& node : part.select_nodes("/fcpxml/resources/*"))
            remap(resources.append_copy(node.node()), map);
        const pugi::xml_node clip = part.select_node("/fcpxml/library/event/project/sequence/spine/asset-clip").node();
        if (!clip || !clip.attribute("duration")) throw failure(unbuildable);
        pugi::xml_node copy = spine.append_copy(clip);
        remap(copy, map);
        attr(copy, "offset", xmlTime(offset.value, offset.timeScale));
        offset = offset + parseTime(copy.attribute("duration").value());
    }

    std::string serialised(const std::string& title) const
    {
        pugi::xml_document document;
        pugi::xml_node declaration = document.append_child(pugi::node_declaration);
        declaration.append_attribute("version") = "1.0";
        declaration.append_attribute("encoding") = "UTF-8";
        pugi::xml_node root = document.append_child("fcpxml");
        root.append_attribute("version") = "1.10";
        root.append_copy(resources);
        pugi::xml_node event = root.append_child("library").append_child("event");
        event.append_attribute("name") = (title + " — ZANTORIX").c_str();
        pugi::xml_node project = event.append_child("project");
        project.append_attribute("name") = title.c_str();
        pugi::xml_node sequence = project.append_child("sequence");
        sequence.append_attribute("format") = "r1";
        sequence.append_attribute("duration") = xmlTime(offset.value, offset.timeScale).c_str();
        sequence.append_attribute("tcStart") = "0s";
        sequence.append_attribute("tcFormat") = "NDF";
        sequence.append_copy(spine);
        std::ostringstream out;
        document.save(out, "    ", pugi::format_indent, pugi::encoding_utf8);
        return out.str();
    }
};

void report(const OrganizerExporter::Progress& progress, double fraction, const std::string& text)
{
    if (progress) progress(fraction, text);
}

} // namespace

void OrganizerExporter::writeXML(const OrganizerDocument& document, const std::vector<OrganizerItem>& items,
                                 const std::string& title, const fs::path& url, const Progress& progress)
{
    MaterialsFolder materials(url, title);
    MergedTimeline timeline;
    SourceProbes probes;
    const double count = double(items.size());
    bool rendered = false;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const OrganizerItem& item = items[i];
        check();
        PartMedia media;
        if (isInPlace(item)) {
            media = inPlaceMedia(document, item);
        } else {
            media = PartMedia{materials.path() / (std::to_string(i + 1) + "-" + safeFilename(item.name) + ".mp4"), 0,
                              item.end - item.start};
            renderInPlace(document, {item}, media.file, [&](double fraction, const std::string& text) {
                report(progress, (double(i) + fraction) / count, text);
            });
            rendered = true;
        }
        pugi::xml_document part;
        buildPart(part, media, item, probes);
        timeline.add(part, IdMap(i));
        report(progress, double(i + 1) / count, preparing);
    }
    check();
    writeFileAtomically(url, timeline.serialised(xmlSafeText(title)));
    if (rendered) materials.keep();
}

} // namespace zanto
