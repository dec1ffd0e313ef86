#include "platform/media/MediaTime.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace zanto {
namespace {

using Wide = __int128;

// Rounds numerator / denominator half away from zero (denominator > 0).
int64_t divideRounded(Wide numerator, Wide denominator)
{
    Wide quotient = numerator / denominator;
    Wide remainder = numerator % denominator;
    if (remainder < 0) remainder = -remainder;
    if (remainder * 2 >= denominator) quotient += numerator < 0 ? -1 : 1;
    return static_cast<int64_t>(quotient);
}

// Both values brought to one common time scale.
struct Common {
    Wide a;
    Wide b;
    int32_t timeScale;
};

Common toCommonScale(MediaTime a, MediaTime b)
{
    // An invalid time counts as zero, so sums never divide by a zero time scale.
    if (!a.isValid()) a = MediaTime{0, b.isValid() ? b.timeScale : 1};
    if (!b.isValid()) b = MediaTime{0, a.timeScale};
    if (a.timeScale == b.timeScale) return {a.value, b.value, a.timeScale};
    int64_t multiple = std::lcm(int64_t(a.timeScale), int64_t(b.timeScale));
    if (multiple <= MediaTime::maxTimeScale) {
        return {Wide(a.value) * (multiple / a.timeScale), Wide(b.value) * (multiple / b.timeScale), int32_t(multiple)};
    }
    MediaTime ca = a.convertScale(MediaTime::maxTimeScale);
    MediaTime cb = b.convertScale(MediaTime::maxTimeScale);
    return {ca.value, cb.value, MediaTime::maxTimeScale};
}

} // namespace

MediaTime MediaTime::fromSeconds(double seconds, int32_t preferredTimeScale)
{
    if (preferredTimeScale <= 0 || !std::isfinite(seconds))
        return MediaTime{0, preferredTimeScale > 0 ? preferredTimeScale : 1};
    // std::llround rounds half away from zero; beyond 64 bits it is undefined, so clamp first.
    double scaled = std::clamp(seconds * preferredTimeScale, -9.2e18, 9.2e18);
    return MediaTime{std::llround(scaled), preferredTimeScale};
}

double MediaTime::seconds() const
{
    return isValid() ? double(value) / double(timeScale) : 0.0;
}

MediaTime MediaTime::convertScale(int32_t newTimeScale) const
{
    if (!isValid() || newTimeScale <= 0) return MediaTime{0, newTimeScale > 0 ? newTimeScale : 1};
    if (newTimeScale == timeScale) return *this;
    return MediaTime{divideRounded(Wide(value) * newTimeScale, timeScale), newTimeScale};
}

std::string MediaTime::toString() const
{
    return std::to_string(value) + "/" + std::to_string(timeScale);
}

std::weak_ordering MediaTime::operator<=>(const MediaTime& other) const
{
    Wide left = Wide(isValid() ? value : 0) * (other.isValid() ? other.timeScale : 1);
    Wide right = Wide(other.isValid() ? other.value : 0) * (isValid() ? timeScale : 1);
    if (left < right) return std::weak_ordering::less;
    if (left > right) return std::weak_ordering::greater;
    return std::weak_ordering::equivalent;
}

MediaTime operator+(const MediaTime& a, const MediaTime& b)
{
    Common c = toCommonScale(a, b);
    return MediaTime{static_cast<int64_t>(c.a + c.b), c.timeScale};
}

MediaTime operator-(const MediaTime& a, const MediaTime& b)
{
    Common c = toCommonScale(a, b);
    return MediaTime{static_cast<int64_t>(c.a - c.b), c.timeScale};
}

MediaTime operator*(const MediaTime& time, int64_t count)
{
    return MediaTime{time.value * count, time.timeScale};
}

MediaTime minTime(const MediaTime& a, const MediaTime& b)
{
    return b < a ? b : a;
}

MediaTime maxTime(const MediaTime& a, const MediaTime& b)
{
    return b > a ? b : a;
}

MediaTimeRange MediaTimeRange::fromStartEnd(const MediaTime& start, const MediaTime& end)
{
    return MediaTimeRange{start, end - start};
}

bool MediaTimeRange::containsTime(const MediaTime& time) const
{
    return time >= start && time < end();
}

MediaTimeRange MediaTimeRange::intersection(const MediaTimeRange& other) const
{
    MediaTime lo = maxTime(start, other.start);
    MediaTime hi = minTime(end(), other.end());
    if (hi <= lo) return MediaTimeRange{lo, MediaTime{0, lo.timeScale}};
    return fromStartEnd(lo, hi);
}

} // namespace zanto
