#include "services/MediaExporter.h"

#include <cmath>
#include <exception>
#include <sstream>

#include <pugixml.hpp>

#include "platform/AtomicFile.h"
#include "services/ExportFailure.h"
#include "services/FcpxmlTiming.h"
#include "services/XmlText.h"

namespace zanto {
namespace {

namespace fs = std::filesystem;

constexpr const char* badClipCount = "1〜1000件のクリップを選択してください。";
constexpr const char* wrongSource = "元動画のファイル名・サイズが一致しません。分析に使用した動画を選んでください。";
constexpr const char* unreadableMovie = "この動画を読み込めません。Macで再生できるMP4またはMOVを選んでください。";
constexpr const char* wrongDuration = "動画の長さが分析データと一致しません。元動画を再読み込みしてください。";
constexpr const char* badRange = "動画の範囲外、または無効な区間があります。開始・終了時刻を確認してください。";
constexpr const char* cancelled = "書き出しを中止しました。完了済みのファイルは保存先に残しています。";
constexpr const char* tooShort = "動画が短すぎます。";
constexpr const char* noMovieExport =
    "この画面からのMP4書き出しには対応していません。Final Cut Pro用XMLを選んでください。";
constexpr const char* saved = "Final Cut Pro用XMLを保存しました";

bool isKnownMode(const std::string& mode)
{
    return mode == "individual" || mode == "combined" || mode == "fcpxml";
}

// The movie behind the request, or the message that refuses it. A file that
// could not be probed at all is taken as an asset with no video.
MediaAsset openMovie(const fs::path& source, const MediaAsset* probed)
{
    MediaAsset asset;
    if (probed) {
        asset = *probed;
    } else {
        try {
            asset = MediaAsset::load(source);
        } catch (const std::exception&) {
            throw failure(unreadableMovie);
        }
    }
    const double duration = asset.duration.seconds();
    if (!asset.hasVideo() || !std::isfinite(duration) || duration <= 0) throw failure(unreadableMovie);
    return asset;
}

bool clipsInside(const std::vector<Clip>& clips, double duration)
{
    for (const Clip& clip : clips)
        if (!std::isfinite(clip.start) || !std::isfinite(clip.end) || clip.start < 0 || clip.start >= clip.end
            || clip.end > duration + 0.02)
            return false;
    return true;
}

// The checks made before anything is written, in the order users meet them.
MediaAsset checkedMovie(const ExportRequest& request, const fs::path& source, const MediaExporter& job,
                        const MediaAsset* probed)
{
    if (!isKnownMode(request.mode) || request.clips.empty() || request.clips.size() > 1000) throw failure(badClipCount);
    if (!MediaExporter::matches(source, request.source)) throw failure(wrongSource);
    MediaAsset asset = openMovie(source, probed);
    const double duration = asset.duration.seconds();
    if (!(std::abs(duration - request.source.duration) < 0.25)) throw failure(wrongDuration);
    if (!clipsInside(request.clips, duration)) throw failure(badRange);
    if (job.isCancelled()) throw failure(cancelled);
    return asset;
}

// One clip as whole frames of the asset: where it starts and how long it is.
struct FrameSpan {
    std::int64_t start = 0;
    std::int64_t frames = 0;
};

// Clip ends snap to the nearest frame boundary, and a clip that ends in the
// last part-frame of the file stops at its last whole frame.
FrameSpan spanOf(const Clip& clip, const MediaTime& frame, std::int64_t assetFrames)
{
    const double frameSeconds = frame.seconds();
    const std::int64_t start = std::llround(clip.start / frameSeconds);
    const std::int64_t end = std::min<std::int64_t>(std::llround(clip.end / frameSeconds), assetFrames);
    if (end - start < 1) throw failure(tooShort);
    return FrameSpan{start, end - start};
}

// Writes frame counts as times: every time of the document is a whole number
// of frames over the frame duration's own time scale.
struct FrameTimes {
    MediaTime frame;
    std::int64_t origin = 0; // the start timecode, in frames

    std::string duration(std::int64_t frames) const { return xmlTime(frames * frame.value, frame.timeScale); }
    std::string at(std::int64_t frames) const { return duration(origin + frames); }
};

void addAttributes(pugi::xml_node node, std::initializer_list<std::pair<const char*, std::string>> attributes)
{
    for (const auto& [name, value] : attributes) node.append_attribute(name).set_value(value.c_str());
}

std::string markerNote(const Clip& clip)
{
    std::string note = clip.note;
    for (const std::string& label : clip.labels) note += " / " + label;
    return xmlSafeText(note);
}

void addResources(pugi::xml_node root, const fs::path& source, const MediaAsset& asset, const VideoTrackInfo& video,
                  const FrameTimes& times, std::int64_t assetFrames)
{
    pugi::xml_node resources = root.append_child("resources");
    const MediaRect shown =
        video.preferredTransform.mapRect(MediaRect{0, 0, double(video.width), double(video.height)});
    addAttributes(resources.append_child("format"), {{"id", "r1"},
                                                     {"frameDuration", times.duration(1)},
                                                     {"width", std::to_string(std::lround(std::abs(shown.width)))},
                                                     {"height", std::to_string(std::lround(std::abs(shown.height)))}});
    pugi::xml_node node = resources.append_child("asset");
    addAttributes(node, {{"id", "r2"},
                         {"name", xmlSafeText(source.filename().string())},
                         {"start", times.at(0)},
                         {"duration", times.duration(assetFrames)},
                         {"hasVideo", "1"},
                         {"format", "r1"}});
    if (asset.audio)
        addAttributes(node, {{"hasAudio", "1"},
                             {"audioSources", std::to_string(asset.audioTrackCount)},
                             {"audioChannels", std::to_string(asset.audio->channels)},
                             {"audioRate", std::to_string(asset.audio->sampleRate)}});
    addAttributes(node.append_child("media-rep"), {{"kind", "original-media"}, {"src", fileURL(source)}});
}

void addEventClip(pugi::xml_node event, const fs::path& source, const ExportRequest& request,
                  const std::vector<FrameSpan>& spans, const FrameTimes& times, std::int64_t assetFrames)
{
    pugi::xml_node whole = event.append_child("asset-clip");
    addAttributes(whole, {{"ref", "r2"},
                          {"name", xmlSafeText(source.filename().string())},
                          {"start", times.at(0)},
                          {"duration", times.duration(assetFrames)},
                          {"format", "r1"}});
    for (std::size_t i = 0; i < spans.size(); ++i)
        addAttributes(whole.append_child("keyword"), {{"start", times.at(spans[i].start)},
                                                      {"duration", times.duration(spans[i].frames)},
                                                      {"value", xmlSafeText(request.clips[i].name)}});
}

void addSpineClip(pugi::xml_node spine, const Clip& clip, const FrameSpan& span, std::int64_t offset,
                  const FrameTimes& times)
{
    const std::string name = xmlSafeText(clip.name);
    pugi::xml_node node = spine.append_child("asset-clip");
    addAttributes(node, {{"ref", "r2"},
                         {"name", name},
                         {"offset", times.duration(offset)},
                         {"start", times.at(span.start)},
                         {"duration", times.duration(span.frames)},
                         {"format", "r1"}});
    node.append_child("note").text().set(xmlSafeText(clip.note).c_str());
    addAttributes(node.append_child("marker"),
                  {{"start", times.at(span.start)}, {"value", name}, {"note", markerNote(clip)}});
}

std::string serialised(const pugi::xml_document& document)
{
    std::ostringstream out;
    document.save(out, "    ", pugi::format_indent, pugi::encoding_utf8);
    return out.str();
}

} // namespace

std::string MediaExporter::fcpxml(const ExportRequest& request, const fs::path& source, const MediaAsset& asset,
                                  const VideoTrackInfo& video)
{
    const MediaTime frame = fcpxmlFrameDuration(video);
    const FrameTimes times{frame, fcpxmlTimecodeFrames(asset.startTimecode, frame)};
    const std::int64_t assetFrames = wholeFrames(asset.duration, frame);
    if (assetFrames < 1) throw failure(tooShort);
    std::vector<FrameSpan> spans;
    for (const Clip& clip : request.clips) spans.push_back(spanOf(clip, frame, assetFrames));

    pugi::xml_document document;
    addAttributes(document.append_child(pugi::node_declaration), {{"version", "1.0"}, {"encoding", "UTF-8"}});
    document.append_child(pugi::node_doctype).set_value("fcpxml");
    pugi::xml_node root = document.append_child("fcpxml");
    root.append_attribute("version") = "1.10";
    addResources(root, source, asset, video, times, assetFrames);

    const std::string title = xmlSafeText(request.title);
    pugi::xml_node event = root.append_child("library").append_child("event");
    event.append_attribute("name") = (title + " — ZANTORIX").c_str();
    addEventClip(event, source, request, spans, times, assetFrames);
    pugi::xml_node project = event.append_child("project");
    project.append_attribute("name") = (title + " — 選択クリップ").c_str();
    pugi::xml_node sequence = project.append_child("sequence");
    pugi::xml_node spine = sequence.append_child("spine");
    std::int64_t offset = 0;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        addSpineClip(spine, request.clips[i], spans[i], offset, times);
        offset += spans[i].frames;
    }
    addAttributes(sequence,
                  {{"format", "r1"}, {"duration", times.duration(offset)}, {"tcStart", "0s"}, {"tcFormat", "NDF"}});
    return serialised(document);
}

std::string MediaExporter::document(const ExportRequest& request, const fs::path& source,
                                    const MediaAsset* probed) const
{
    const MediaAsset asset = checkedMovie(request, source, *this, probed);
    if (request.mode != "fcpxml") throw failure(noMovieExport);
    std::string text = fcpxml(request, source, asset, *asset.video);
    if (isCancelled()) throw failure(cancelled);
    return text;
}

std::vector<fs::path> MediaExporter::run(const ExportRequest& request, const fs::path& source,
                                         const fs::path& directory, const Progress& progress)
{
    const std::string text = document(request, source, nullptr);
    const fs::path file = directory / (safeFilename(request.title) + ".fcpxml");
    writeFileAtomically(file, text);
    if (progress) progress(1.0, saved);
    return {file};
}

} // namespace zanto
