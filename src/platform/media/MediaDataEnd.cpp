#include "platform/media/MediaDataEnd.h"

#include "platform/media/MediaInput.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <deque>
#include <fstream>
#include <memory>
#include <string_view>
#include <vector>

namespace zanto::media {
namespace {

// How far a file's data reaches: `reach`, where the last data of any stream
// ends, in AV_TIME_BASE units of the file's clock; `safe`, in the stream's own
// ticks, a time at or before which every frame of the stream is there.
struct DataReach {
    int64_t reach = 0;
    int64_t safe = 0;
};

// A shortfall within this much is rounding, a last frame's length the file
// does not state, or a track ending a little before the others.
int64_t slackOf(const AVStream* stream)
{
    const AVRational rate = stream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) return AV_TIME_BASE / 10;
    return std::max<int64_t>(AV_TIME_BASE / 20, av_rescale(2 * AV_TIME_BASE, rate.den, rate.num));
}

// A per-sample index (MP4, MOV, an AVI's idx1) gives every frame's bytes, its
// entries in decoding order. No frame decoded from the first entry whose bytes
// pass the file's end on shows before that entry's decoding time, so every
// frame shown up to the entry before it is there. Matroska's cues carry no
// sizes and say nothing here.
std::optional<DataReach> indexedReach(AVStream* stream, int64_t fileSize)
{
    for (int i = 0, count = avformat_index_get_entries_count(stream); i < count; ++i) {
        const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
        if (entry->size <= 0 || entry->pos + entry->size <= fileSize) continue;
        const int64_t safe = i > 0 ? avformat_index_get_entry(stream, i - 1)->timestamp : entry->timestamp;
        return DataReach{av_rescale_q(entry->timestamp, stream->time_base, AV_TIME_BASE_Q), safe};
    }
    return std::nullopt;
}

// Whether FFmpeg's index reaches `shortOf` with every entry inside the file.
bool indexReaches(AVStream* stream, int64_t shortOf, int64_t fileSize)
{
    int64_t last = AV_NOPTS_VALUE;
    for (int i = 0, count = avformat_index_get_entries_count(stream); i < count; ++i) {
        const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
        if (entry->pos >= fileSize) return false;
        last = std::max(last, entry->timestamp);
    }
    return last != AV_NOPTS_VALUE && av_rescale_q(last, stream->time_base, AV_TIME_BASE_Q) >= shortOf;
}

// A file read for FFmpeg that, once given a floor, seeks nowhere before it and
// reads at most `budget` bytes more: a demuxer that loses its place in the
// tail can neither go back to the start nor read the file whole.
struct GuardedFile {
    std::FILE* file = nullptr;
    int64_t size = 0;
    int64_t floor = 0;
    int64_t budget = INT64_MAX;
    bool exhausted = false;
};

int readGuarded(void* opaque, uint8_t* buffer, int size)
{
    auto* guarded = static_cast<GuardedFile*>(opaque);
    if (guarded->budget <= 0) {
        guarded->exhausted = true;
        return AVERROR_EOF;
    }
    const size_t got = std::fread(buffer, 1, size_t(std::min<int64_t>(size, guarded->budget)), guarded->file);
    guarded->budget -= int64_t(got);
    return got > 0 ? int(got) : AVERROR_EOF;
}

int64_t seekGuarded(void* opaque, int64_t offset, int whence)
{
    auto* guarded = static_cast<GuardedFile*>(opaque);
    if (whence == AVSEEK_SIZE) return guarded->size;
    whence &= ~AVSEEK_FORCE;
    const int64_t target = whence == SEEK_END   ? guarded->size + offset
                           : whence == SEEK_CUR ? ftello(guarded->file) + offset
                                                : offset;
    if (target < guarded->floor) return AVERROR(EPERM);
    if (fseeko(guarded->file, target, SEEK_SET) != 0) return AVERROR(errno);
    return target;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
struct IoDeleter {
    void operator()(AVIOContext* io) const
    {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

// What a read from a cluster to the file's end found.
struct Tail {
    int64_t reach = AV_NOPTS_VALUE; // AV_TIME_BASE units
    std::vector<int64_t> ends;      // where each stream's last packet ends, in its own ticks; AV_NOPTS_VALUE: none read
    std::deque<int64_t> shown;      // the stream's last presentation times, in decoding order
    bool endsWithStream = false;    // the file's last packet is the stream's, and may be torn
    bool whole = false;             // read to the file's end
};

// The tail's reader has not decoded, so a block that states no length (a
// track without a default duration) is given one frame: the audio frame size
// the probe found, or the video's average frame interval.
int64_t packetLength(const AVStream& stream, const AVPacket& packet)
{
    if (packet.duration > 0) return packet.duration;
    const AVCodecParameters& codec = *stream.codecpar;
    if (codec.frame_size > 0 && codec.sample_rate > 0)
        return av_rescale_q(codec.frame_size, AVRational{1, codec.sample_rate}, stream.time_base);
    const AVRational rate = stream.avg_frame_rate;
    if (codec.codec_type == AVMEDIA_TYPE_VIDEO && rate.num > 0 && rate.den > 0)
        return av_rescale_q(1, av_inv_q(rate), stream.time_base);
    return 0;
}

// `format` is the probe's own context: the tail's reader sees the same
// streams, in the same order and time bases, from the same header.
void note(Tail& tail, const AVFormatContext& format, const AVPacket& packet, int index)
{
    if (unsigned(packet.stream_index) >= format.nb_streams) return;
    const AVStream& stream = *format.streams[packet.stream_index];
    const int64_t at = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
    if (at == AV_NOPTS_VALUE) return;
    const int64_t end = at + packetLength(stream, packet);
    tail.reach = std::max(tail.reach, av_rescale_q(end, stream.time_base, AV_TIME_BASE_Q));
    int64_t& streamEnd = tail.ends[size_t(packet.stream_index)];
    streamEnd = std::max(streamEnd, end);
    tail.endsWithStream = packet.stream_index == index;
    if (!tail.endsWithStream) return;
    tail.shown.push_back(at);
    if (tail.shown.size() > 32) tail.shown.pop_front();
}

constexpr std::string_view clusterId = "\x1f\x43\xb6\x75";

// The first cluster that starts in [from, fileSize), laid out as Matroska
// writers do: its ID, its size, then its time (after an optional CRC-32).
std::optional<int64_t> firstCluster(const std::filesystem::path& path, int64_t from, int64_t fileSize)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes(size_t(fileSize - from));
    in.seekg(from);
    in.read(bytes.data(), std::streamsize(bytes.size()));
    bytes.resize(size_t(in.gcount()));
    auto at = [&](size_t i) { return i < bytes.size() ? uint8_t(bytes[i]) : uint8_t(0); };
    const std::string_view text(bytes.data(), bytes.size());
    for (size_t found = text.find(clusterId); found != text.npos; found = text.find(clusterId, found + 1)) {
        size_t i = found + clusterId.size();
        if (at(i) == 0) continue;
        i += size_t(std::countl_zero(at(i))) + 1;
        if (at(i) == 0xbf && at(i + 1) == 0x84) i += 6;
        if (at(i) == 0xe7) return from + int64_t(found);
    }
    return std::nullopt;
}

// Reads the packets from the cluster at `cluster` to the file's end, through a
// second reader of the file guarded as above.
std::optional<Tail> readMatroskaTail(const std::filesystem::path& path, const AVFormatContext* format, int index,
                                     int64_t cluster, int64_t fileSize)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return std::nullopt;
    GuardedFile guarded{file.get(), fileSize};
    constexpr int bufferSize = 64 * 1024;
    auto* buffer = static_cast<uint8_t*>(av_malloc(bufferSize));
    if (!buffer) return std::nullopt;
    std::unique_ptr<AVIOContext, IoDeleter> io(
        avio_alloc_context(buffer, bufferSize, 0, &guarded, readGuarded, nullptr, seekGuarded));
    if (!io) {
        av_free(buffer);
        return std::nullopt;
    }
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) return std::nullopt;
    raw->pb = io.get();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    // avformat_open_input frees the context itself on failure.
    if (avformat_open_input(&raw, nullptr, format->iformat, nullptr) < 0) return std::nullopt;
    InputFormatPtr tail(raw);
    guarded.floor = cluster;
    guarded.budget = fileSize - cluster + bufferSize;
    avio_flush(tail->pb);
    // FFmpeg's Matroska reader ends its header having read the first
    // cluster's ID and goes on from that cluster's size: the jump lands just
    // after another cluster's ID.
    if (av_seek_frame(tail.get(), -1, cluster + int64_t(clusterId.size()), AVSEEK_FLAG_BYTE) < 0) return std::nullopt;
    Tail found;
    found.ends.assign(format->nb_streams, AV_NOPTS_VALUE);
    PacketPtr packet = allocatePacket();
    int status = 0;
    while ((status = av_read_frame(tail.get(), packet.get())) >= 0) {
        note(found, *format, *packet, index);
        av_packet_unref(packet.get());
    }
    found.whole = status == AVERROR_EOF && !guarded.exhausted;
    return found;
}

// How many frames at most one frame of `shown` follows in decoding yet comes
// before in showing.
int reorderDepth(const std::deque<int64_t>& shown)
{
    int depth = 0;
    for (size_t j = 0; j < shown.size(); ++j) {
        int later = 0;
        for (size_t i = 0; i < j; ++i) later += shown[i] > shown[j];
        depth = std::max(depth, later);
    }
    return depth;
}

// The file's last packet may be torn and is left out. A frame is shown at
// most `delay` frames after those decoded before it, so no frame still
// missing shows before the earliest of the last delay + 1 read.
std::optional<int64_t> safeTime(const Tail& tail, int delay)
{
    const size_t whole = tail.shown.size() - (tail.endsWithStream ? 1 : 0);
    const size_t span = size_t(std::max(delay, reorderDepth(tail.shown))) + 1;
    if (whole < span) return std::nullopt;
    return *std::min_element(tail.shown.begin() + std::ptrdiff_t(whole - span),
                             tail.shown.begin() + std::ptrdiff_t(whole));
}

// Matroska writes its index last, so a file cut short or written to a pipe has
// none to its end; but every cluster carries its time, and a read from a
// cluster to the file's end tells where the data stops. The read starts at the
// first cluster in the last 1 MiB, then 4 and 16 MiB until `enough` is
// content with what was read; else the widest read that reached the file's end
// is the answer. `index` is the stream whose frames are kept, or -1.
template <class Enough>
std::optional<Tail> matroskaTail(const std::filesystem::path& path, const AVFormatContext* format, int index,
                                 int64_t fileSize, Enough enough)
{
    std::optional<Tail> widest;
    for (int64_t window = 1 << 20; window <= 16 << 20; window *= 4) {
        const int64_t from = std::max<int64_t>(0, fileSize - window);
        const std::optional<int64_t> cluster = firstCluster(path, from, fileSize);
        std::optional<Tail> tail = cluster ? readMatroskaTail(path, format, index, *cluster, fileSize) : std::nullopt;
        if (tail && tail->whole) widest = std::move(tail);
        if ((widest && enough(*widest)) || from == 0) break;
    }
    return widest;
}

std::optional<DataReach> matroskaReach(const std::filesystem::path& path, const AVFormatContext* format, int index,
                                       int64_t fileSize, int64_t shortOf)
{
    const int delay = format->streams[index]->codecpar->video_delay;
    const std::optional<Tail> tail = matroskaTail(path, format, index, fileSize, [&](const Tail& read) {
        return read.reach >= shortOf || safeTime(read, delay).has_value();
    });
    const std::optional<int64_t> safe = tail ? safeTime(*tail, delay) : std::nullopt;
    if (!safe || tail->reach >= shortOf) return std::nullopt;
    return DataReach{tail->reach, *safe};
}

// Reads a file front to back for a walk through its chunk headers: a window
// that grows while the headers lie close together and shrinks back when the
// walk jumps over a large chunk, so that many small chunks cost few reads and
// the data of large ones is passed by moving the file position, not read.
class ForwardWindow {
public:
    explicit ForwardWindow(const std::filesystem::path& path) : file_(std::fopen(path.c_str(), "rb")) { }

    // The bytes [position, position + count), fewer at the file's end: `count`
    // is a chunk header's few bytes, and `position` only moves forward.
    std::string_view bytesAt(int64_t position, int64_t count)
    {
        if (position < start_ || position + count > start_ + int64_t(length_)) refill(position);
        const int64_t offset = position - start_;
        return std::string_view(bytes_.data() + offset,
                                size_t(std::clamp<int64_t>(int64_t(length_) - offset, 0, count)));
    }

private:
    static constexpr size_t smallest = 8 * 1024;
    static constexpr size_t largest = 1024 * 1024;

    void refill(int64_t position)
    {
        const bool walking = position <= start_ + int64_t(length_);
        window_ = walking ? std::clamp(window_ * 2, smallest, largest) : smallest;
        if (bytes_.size() < window_) bytes_.resize(window_);
        length_ = 0;
        start_ = position;
        if (!file_ || (position != filePosition_ && fseeko(file_.get(), position, SEEK_SET) != 0)) return;
        length_ = std::fread(bytes_.data(), 1, window_, file_.get());
        filePosition_ = position + int64_t(length_);
    }

    std::unique_ptr<std::FILE, FileCloser> file_;
    std::vector<char> bytes_;
    size_t window_ = 0;
    size_t length_ = 0;
    int64_t start_ = 0;
    int64_t filePosition_ = 0;
};

// An AVI's frames carry no times: the n-th chunk of a video stream is its n-th
// frame. Without the index at the file's end, the chunks are counted by their
// headers from the start, their data skipped.
std::optional<DataReach> aviReach(const std::filesystem::path& path, const AVFormatContext* format, int index,
                                  int64_t fileSize)
{
    const AVStream* stream = format->streams[index];
    if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || index > 99) return std::nullopt;
    const std::array<char, 2> number{char('0' + index / 10), char('0' + index % 10)};
    ForwardWindow in(path);
    constexpr int64_t maxChunks = int64_t(1) << 23;
    int64_t frames = 0;
    int64_t at = 0;
    bool cut = false;
    for (int64_t chunks = 0; at < fileSize && !cut; ++chunks) {
        if (chunks == maxChunks) return std::nullopt;
        std::array<char, 12> head{};
        const std::string_view got = in.bytesAt(at, int64_t(head.size()));
        std::copy(got.begin(), got.end(), head.begin());
        const std::string_view id(head.data(), 4), type(head.data() + 8, 4);
        auto byte = [&](int i) { return int64_t(uint8_t(head[size_t(i)])); };
        const int64_t size = byte(4) | byte(5) << 8 | byte(6) << 16 | byte(7) << 24;
        if (got.size() >= 12 && (id == "RIFF" || (id == "LIST" && (type == "movi" || type == "rec ")))) {
            at += 12;
            continue;
        }
        cut = got.size() < 8 || at + 8 + size > fileSize;
        frames += !cut && id[0] == number[0] && id[1] == number[1] && (id.ends_with("dc") || id.ends_with("db"));
        at += 8 + size + (size & 1);
    }
    // Cut between two chunks, the file ends well formed: only the count shows it.
    if (!cut && (stream->nb_frames <= 0 || frames >= stream->nb_frames)) return std::nullopt;
    const int64_t first = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    return DataReach{av_rescale_q(first + frames, stream->time_base, AV_TIME_BASE_Q),
                     first + std::max<int64_t>(frames - 1, 0)};
}

std::optional<DataReach> scannedReach(const std::filesystem::path& path, const AVFormatContext* format, int index,
                                      int64_t fileSize, int64_t shortOf)
{
    const std::string_view demuxer = format->iformat->name;
    if (demuxer.starts_with("matroska")) return matroskaReach(path, format, index, fileSize, shortOf);
    if (demuxer == "avi") return aviReach(path, format, index, fileSize);
    return std::nullopt;
}

bool isMatroska(const AVFormatContext* format)
{
    return std::string_view(format->iformat->name).starts_with("matroska");
}

// The tail of a Matroska or WebM file read until the tracks the probe
// reports on (its first video and audio) each have their last packets in it;
// a track that ended long before the others is let go at 16 MiB.
std::optional<Tail> shownTracksTail(const std::filesystem::path& path, const AVFormatContext* format)
{
    const int64_t fileSize = avio_size(format->pb);
    if (fileSize <= 0) return std::nullopt;
    const int shown[] = {firstStream(format, AVMEDIA_TYPE_VIDEO), firstStream(format, AVMEDIA_TYPE_AUDIO)};
    auto allEnds = [&](const Tail& read) {
        return std::ranges::all_of(shown, [&](int i) { return i < 0 || read.ends[size_t(i)] != AV_NOPTS_VALUE; });
    };
    return matroskaTail(path, format, -1, fileSize, allEnds);
}

// A Matroska tag's time, "HH:MM:SS.nnnnnnnnn", in AV_TIME_BASE units.
std::optional<int64_t> tagTime(const char* text)
{
    unsigned hours = 0, minutes = 0, seconds = 0;
    char fraction[10] = {};
    if (std::sscanf(text, "%u:%u:%u.%9[0-9]", &hours, &minutes, &seconds, fraction) < 3) return std::nullopt;
    int64_t micro = 0;
    bool digits = true;
    for (int i = 0; i < 6; ++i) {
        digits = digits && fraction[i] != 0;
        micro = micro * 10 + (digits ? fraction[i] - '0' : 0);
    }
    return (int64_t(hours) * 3600 + int64_t(minutes) * 60 + seconds) * int64_t(AV_TIME_BASE) + micro;
}

// Where a track ends by the DURATION tag its writer left, in the stream's
// ticks. FFmpeg's muxer writes the end of the track's last packet on the
// Matroska clock (pictures whose last frame starts at 2.990 s get 3.023);
// mkvmerge, which marks the statistics it writes with the app that wrote
// them, the length from the track's first packet.
std::optional<int64_t> taggedEnd(const AVStream* stream)
{
    const AVDictionaryEntry* tag = av_dict_get(stream->metadata, "DURATION", nullptr, 0);
    const std::optional<int64_t> time = tag ? tagTime(tag->value) : std::nullopt;
    if (!time || *time <= 0) return std::nullopt;
    int64_t end = av_rescale_q(*time, AV_TIME_BASE_Q, stream->time_base);
    if (av_dict_get(stream->metadata, "_STATISTICS_WRITING_APP", nullptr, 0) && stream->start_time != AV_NOPTS_VALUE)
        end += stream->start_time;
    return end;
}

} // namespace

std::vector<std::optional<MediaTime>> matroskaTrackEnds(const std::filesystem::path& path,
                                                        const AVFormatContext* format)
{
    if (!format->pb || !isMatroska(format)) return {};
    std::vector<int64_t> ends;
    for (unsigned i = 0; i < format->nb_streams; ++i)
        ends.push_back(taggedEnd(format->streams[i]).value_or(AV_NOPTS_VALUE));
    const bool tagged = std::ranges::all_of(
        std::array{firstStream(format, AVMEDIA_TYPE_VIDEO), firstStream(format, AVMEDIA_TYPE_AUDIO)},
        [&](int i) { return i < 0 || ends[size_t(i)] != AV_NOPTS_VALUE; });
    if (!tagged)
        if (const std::optional<Tail> tail = shownTracksTail(path, format))
            for (size_t i = 0; i < ends.size(); ++i)
                if (ends[i] == AV_NOPTS_VALUE) ends[i] = tail->ends[i];
    std::vector<std::optional<MediaTime>> times;
    for (unsigned i = 0; i < format->nb_streams; ++i)
        times.push_back(ends[i] == AV_NOPTS_VALUE ? std::nullopt
                                                  : std::optional(streamTime(format, format->streams[i], ends[i])));
    return times;
}

std::optional<MeasuredLength> measuredLengthOf(const std::filesystem::path& path, const AVFormatContext* format)
{
    const bool stated = format->duration != AV_NOPTS_VALUE && format->duration > 0
                        && format->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE;
    if (stated || !format->pb || !isMatroska(format)) return std::nullopt;
    const std::optional<Tail> tail = shownTracksTail(path, format);
    if (!tail || tail->reach == AV_NOPTS_VALUE) return std::nullopt;
    MeasuredLength length{MediaTime{tail->reach - firstPresentationTime(format), AV_TIME_BASE}, {}};
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const int64_t end = tail->ends[i];
        length.streamEnds.push_back(end == AV_NOPTS_VALUE ? std::nullopt
                                                          : std::optional(streamTime(format, format->streams[i], end)));
    }
    return length;
}

std::optional<MediaTime> dataEndOf(const std::filesystem::path& path, const AVFormatContext* format, int index)
{
    if (index < 0 || !format->pb || format->duration == AV_NOPTS_VALUE || format->duration <= 0) return std::nullopt;
    const int64_t fileSize = avio_size(format->pb);
    if (fileSize <= 0) return std::nullopt;
    AVStream* stream = format->streams[index];
    // An AVI's header counts the frames of each stream, one a tick, while
    // FFmpeg scales the length of a file cut short by its size: the header
    // tells how long it was written.
    int64_t stated = format->duration;
    if (std::string_view(format->iformat->name) == "avi" && stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO
        && stream->nb_frames > 0)
        stated = std::max(stated, av_rescale_q(stream->nb_frames, stream->time_base, AV_TIME_BASE_Q));
    const int64_t shortOf = firstPresentationTime(format) + stated - slackOf(stream);
    std::optional<DataReach> data = indexedReach(stream, fileSize);
    // MPEG-TS and MPEG-PS already take their duration from the last times in
    // the file: a cut one is simply shorter.
    if (!data && format->duration_estimation_method != AVFMT_DURATION_FROM_PTS
        && !indexReaches(stream, shortOf, fileSize))
        data = scannedReach(path, format, index, fileSize, shortOf);
    if (!data || data->reach >= shortOf) return std::nullopt;
    return streamTime(format, stream, data->safe);
}

} // namespace zanto::media
