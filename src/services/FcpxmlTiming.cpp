#include "services/FcpxmlTiming.h"

#include <array>
#include <cmath>
#include <string>
#include <string_view>

#include "services/ExportFailure.h"

namespace zanto {
namespace {

constexpr const char* undeterminableRate =
    "フレームレートを判定できません。MP4で書き出すか、固定フレームレートの動画を使用してください。";
constexpr const char* unreadableTimecode = "元動画のタイムコードを読み取れません。MP4書き出しをご利用ください。";
constexpr const char* invalidTimecode = "タイムコードが不正です。";
constexpr const char* unsupportedTimecode = "未対応のタイムコード形式です。MP4書き出しをご利用ください。";

// 29.97 and 30 lie a tenth of a percent apart; a hundredth keeps them apart
// while absorbing rates a container stores as a slightly rounded fraction.
constexpr double rateTolerance = 1e-4;

bool near(double rate, double standard)
{
    return std::abs(rate - standard) <= standard * rateTolerance;
}

double frameRateOf(const VideoTrackInfo& video)
{
    if (video.frameDuration.isValid() && video.frameDuration.value > 0)
        return double(video.frameDuration.timeScale) / double(video.frameDuration.value);
    return video.nominalFrameRate;
}

// Frames counted per timecode second: 30 for 29.97, 25 for 25.
int countingRate(const MediaTime& frameDuration)
{
    return int(std::lround(1.0 / frameDuration.seconds()));
}

bool isNtsc(const MediaTime& frameDuration)
{
    return frameDuration.value == 1001;
}

struct TimecodeLabel {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int frames = 0;
    bool dropFrame = false;
};

// Four groups of one to three digits joined by ":" or ";"; a ";" anywhere
// marks drop frame, as FFmpeg and most cameras write it.
std::optional<TimecodeLabel> parseLabel(std::string_view text)
{
    std::array<int, 4> fields{};
    std::size_t field = 0;
    int digits = 0;
    bool dropFrame = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            if (++digits > 3) return std::nullopt;
            fields[field] = fields[field] * 10 + (c - '0');
        } else if ((c == ':' || c == ';') && digits > 0 && field < 3) {
            dropFrame = dropFrame || c == ';';
            ++field;
            digits = 0;
        } else {
            return std::nullopt;
        }
    }
    if (field != 3 || digits == 0) return std::nullopt;
    return TimecodeLabel{fields[0], fields[1], fields[2], fields[3], dropFrame};
}

// Drop frame skips the first `drop` labels of every minute except each tenth.
int droppedLabels(int rate)
{
    return rate / 15;
}

bool labelExists(const TimecodeLabel& label, int rate)
{
    if (label.hours > 23 || label.minutes > 59 || label.seconds > 59 || label.frames >= rate) return false;
    return !label.dropFrame || label.seconds != 0 || label.minutes % 10 == 0 || label.frames >= droppedLabels(rate);
}

std::int64_t framesOf(const TimecodeLabel& label, int rate)
{
    const std::int64_t totalMinutes = std::int64_t(label.hours) * 60 + label.minutes;
    std::int64_t frames = (totalMinutes * 60 + label.seconds) * rate + label.frames;
    if (label.dropFrame) frames -= droppedLabels(rate) * (totalMinutes - totalMinutes / 10);
    return frames;
}

} // namespace

MediaTime fcpxmlFrameDuration(const VideoTrackInfo& video)
{
    const double rate = frameRateOf(video);
    if (!video.constantFrameRate || !std::isfinite(rate) || rate <= 0) throw failure(undeterminableRate);
    const long whole = std::lround(rate);
    if (whole >= 1 && whole <= 240 && near(rate, double(whole))) return MediaTime{1, int32_t(whole)};
    for (const int base : {24, 30, 48, 60, 120})
        if (near(rate, base * 1000.0 / 1001.0)) return MediaTime{1001, base * 1000};
    throw failure(undeterminableRate);
}

std::int64_t fcpxmlTimecodeFrames(const std::optional<MediaTimecode>& timecode, const MediaTime& frameDuration)
{
    if (!timecode) return 0;
    const std::optional<TimecodeLabel> label = parseLabel(timecode->text);
    if (!label) throw failure(unreadableTimecode);
    const int rate = countingRate(frameDuration);
    if (timecode->framesPerSecond != 0 && timecode->framesPerSecond != rate) throw failure(unsupportedTimecode);
    if (label->dropFrame && !(isNtsc(frameDuration) && (rate == 30 || rate == 60))) throw failure(unsupportedTimecode);
    if (!labelExists(*label, rate)) throw failure(invalidTimecode);
    return framesOf(*label, rate);
}

std::int64_t wholeFrames(const MediaTime& duration, const MediaTime& frameDuration)
{
    if (!duration.isValid() || duration.value <= 0 || !frameDuration.isValid() || frameDuration.value <= 0) return 0;
    using Wide = __int128;
    // duration / frameDuration + 1/1000, cut toward zero, in exact integers.
    const Wide numerator =
        Wide(duration.value) * frameDuration.timeScale * 1000 + Wide(duration.timeScale) * frameDuration.value;
    const Wide denominator = Wide(duration.timeScale) * frameDuration.value * 1000;
    return std::int64_t(numerator / denominator);
}

} // namespace zanto
