#pragma once
#include <stdexcept>
#include <string>

namespace zanto {

// A failure of the media layer: a file that cannot be opened or decoded, an
// encoder that refuses its settings, a write that fails. The message names the
// file and carries FFmpeg's own text ("Invalid data found when processing input").
class MediaError : public std::runtime_error {
public:
    explicit MediaError(const std::string& message) : std::runtime_error(message) {}
};

// FFmpeg's text for an error code (AVERROR...).
std::string mediaErrorText(int code);
// Throws MediaError(what + ": " + FFmpeg's text) when code < 0; returns code otherwise.
int checkMedia(int code, const std::string& what);

} // namespace zanto
