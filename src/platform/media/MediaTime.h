#pragma once
#include <compare>
#include <cstdint>
#include <string>

namespace zanto {

// A rational media time: `value` / `timeScale` seconds, kept unreduced so that
// a time written as 75/25 reads back as 75/25. Equality (==) compares the two
// fields; ordering (<, <=, ...) compares the instants, so 75/25 and 3/1 are
// equivalent but not equal. A time scale of zero or less is invalid and reads
// as zero seconds. Plain value; any thread.
struct MediaTime {
    int64_t value = 0;
    int32_t timeScale = 1;

    // The largest time scale a sum may take before it is rounded into it.
    static constexpr int32_t maxTimeScale = 0x7fffffff;

    static constexpr MediaTime zero() { return MediaTime{0, 1}; }
    // `seconds` at `preferredTimeScale`, rounded half away from zero.
    static MediaTime fromSeconds(double seconds, int32_t preferredTimeScale);

    bool isValid() const { return timeScale > 0; }
    double seconds() const;
    // The same instant at another time scale, rounded half away from zero.
    MediaTime convertScale(int32_t newTimeScale) const;
    // Text for logs and messages, e.g. "1001/30000".
    std::string toString() const;

    bool operator==(const MediaTime&) const = default;
    std::weak_ordering operator<=>(const MediaTime& other) const;
};

// Sum and difference: with equal time scales the values are added and the time
// scale is kept; otherwise the result takes the least common multiple of the
// two time scales, or maxTimeScale with rounding when that multiple exceeds it.
MediaTime operator+(const MediaTime& a, const MediaTime& b);
MediaTime operator-(const MediaTime& a, const MediaTime& b);
// `count` copies of a time (whole frames times a frame duration).
MediaTime operator*(const MediaTime& time, int64_t count);
MediaTime minTime(const MediaTime& a, const MediaTime& b);
MediaTime maxTime(const MediaTime& a, const MediaTime& b);

// A span of media time [start, start + duration).
struct MediaTimeRange {
    MediaTime start;
    MediaTime duration;

    static MediaTimeRange fromStartEnd(const MediaTime& start, const MediaTime& end);

    MediaTime end() const { return start + duration; }
    bool isEmpty() const { return duration.value <= 0; }
    // Whether `time` lies in [start, end).
    bool containsTime(const MediaTime& time) const;
    // The overlap of two ranges; an empty range at the later start when they
    // do not overlap.
    MediaTimeRange intersection(const MediaTimeRange& other) const;

    bool operator==(const MediaTimeRange&) const = default;
};

} // namespace zanto
