#pragma once
#include <stdexcept>
#include <string>

namespace zanto {

// A failure of the media layer: a file that cannot be opened or decoded, an
// encoder that refuses its settings, a write that fails. The message names the
// file between “ and ” and carries FFmpeg's own text ("Invalid data found when
// processing input"); a failure reported by FFmpeg also keeps its code, so
// that callers can tell a full disk from a damaged movie.
class MediaError : public std::runtime_error {
public:
    explicit MediaError(const std::string& message, int code = 0) : std::runtime_error(message), code_(code) { }

    // FFmpeg's error code (AVERROR...), 0 when the failure has none.
    int code() const noexcept { return code_; }
    // The system's errno behind the code (ENOSPC for a full disk), 0 when
    // the failure is none of the system's.
    int systemError() const noexcept;
    // FFmpeg's text for the code, empty without one: the cause without the
    // file's name.
    std::string detail() const;

private:
    int code_ = 0;
};

// FFmpeg's text for an error code (AVERROR...).
std::string mediaErrorText(int code);
// Throws MediaError(what + ": " + FFmpeg's text, code) when code < 0; returns code otherwise.
int checkMedia(int code, const std::string& what);

} // namespace zanto
