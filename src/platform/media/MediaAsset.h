#pragma once
#include "platform/media/AffineTransform.h"
#include "platform/media/MediaTime.h"

#include <filesystem>
#include <optional>
#include <string>

namespace zanto {

// Colour matrix a video is tagged with (or assumed to use: HD and larger is
// BT.709, smaller pictures BT.601 when untagged). Phones record BT.2020.
enum class ColourMatrix { BT601, BT709, BT2020 };

// The first video track of a movie. Times are in the stream's own time scale,
// measured from the file's first presentation time (which counts as zero;
// an MP4 or MOV movie's own timeline starts at zero, pictures or not).
struct VideoTrackInfo {
    int streamIndex = -1;
    // Natural size: the picture as shown before the preferred transform; the
    // coded width is widened or narrowed by the pixel aspect ratio.
    int width = 0;
    int height = 0;
    AffineTransform preferredTransform; // from the display matrix; identity when there is none
    double nominalFrameRate = 0;        // average frames per second; 0 when unknown
    MediaTime frameDuration;            // 1 / nominal rate, e.g. 1001/30000; 0/1 when unknown
    bool constantFrameRate = false;     // the stream's base rate agrees with its average rate
    MediaTimeRange timeRange;
    ColourMatrix colourMatrix = ColourMatrix::BT709;
    std::string codecName;
    bool operator==(const VideoTrackInfo&) const = default;
};

// The first audio track. Its range starts where FFmpeg's demuxer puts its first
// sample (encoder priming flagged in the file is left out).
struct AudioTrackInfo {
    int streamIndex = -1;
    MediaTimeRange timeRange;
    int sampleRate = 0;
    int channels = 0;
    std::string codecName;
    bool operator==(const AudioTrackInfo&) const = default;
};

// The start timecode of a file that carries one (a timecode track or tag),
// as written there, e.g. "01:00:00:00" or "00:59:59;28" (a ';' marks drop frame).
struct MediaTimecode {
    std::string text;
    bool dropFrame = false;
    MediaTime frameDuration; // of the timecode track, e.g. 512/15360; 0/1 when unknown
    int framesPerSecond = 0; // frames counted per timecode second; 0 when unknown
    bool operator==(const MediaTimecode&) const = default;
};

// What a movie file holds, read once by `load`. Plain value; any thread.
struct MediaAsset {
    std::filesystem::path path;
    // The container's duration, else the longest stream's, with the first
    // presentation time taken as zero. A Matroska or WebM file that states
    // none (written live or to a pipe) is measured to its last packet's end.
    // A Matroska or WebM track's range ends at its own last packet, as the
    // track's DURATION tag or the file's tail tells: its pictures may end
    // seconds before its sound.
    MediaTime duration;
    std::optional<VideoTrackInfo> video;
    std::optional<AudioTrackInfo> audio;
    int audioTrackCount = 0;
    std::optional<MediaTimecode> startTimecode;
    // Where the data of the first video track (else audio track) runs out in
    // a file shorter than its header or index says (a recording broken off, a
    // copy cut short): a time at or before which every frame of the track is
    // in the file, the start of its last whole picture or a little earlier.
    // None when the data reaches the duration (within a few frames), and when
    // the container cannot tell without being read whole.
    std::optional<MediaTime> dataEnd;
    // The file's first presentation time on its container's own clock (zero
    // for an MP4 or MOV movie): what every time here is measured from. A
    // transport stream's clock starts anywhere (1.4 s as FFmpeg writes one,
    // hours on a broadcast recorder).
    MediaTime firstPresentationTime{0, 1};
    // How far before a time a seek must aim to land on a key frame at or
    // before it. Zero where the container's index finds that key frame (MP4,
    // MOV, Matroska, AVI); a transport or program stream has none, and a seek
    // there lands on the first key frame after where it aims: the longest
    // key-frame interval seen near the file's start, and a frame more.
    MediaTime seekPreroll{0, 1};

    bool hasVideo() const { return video.has_value(); }
    bool hasAudio() const { return audio.has_value(); }
    // How long one picture lasts: the video's nominal frame duration, or a
    // thirtieth of a second where there is none (no video, no known rate).
    double frameSeconds() const
    {
        if (!video || !video->frameDuration.isValid() || video->frameDuration.value <= 0) return 1.0 / 30;
        return video->frameDuration.seconds();
    }

    // Opens and probes the file. Throws MediaError naming the file when it is
    // missing, is not a movie FFmpeg can read, or holds neither a video nor
    // an audio track (a subtitle or lyrics file).
    static MediaAsset load(const std::filesystem::path& path);

    bool operator==(const MediaAsset&) const = default;
};

} // namespace zanto
