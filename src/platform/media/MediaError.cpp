#include "platform/media/MediaError.h"

extern "C" {
#include <libavutil/error.h>
}

namespace zanto {

namespace {

// errno values stay far below FFmpeg's own tagged codes.
constexpr int largestSystemError = 4095;

} // namespace

int MediaError::systemError() const noexcept
{
    const int error = AVUNERROR(code_);
    return code_ < 0 && error <= largestSystemError ? error : 0;
}

std::string MediaError::detail() const
{
    return code_ ? mediaErrorText(code_) : std::string();
}

std::string mediaErrorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

int checkMedia(int code, const std::string& what)
{
    if (code < 0) throw MediaError(what + ": " + mediaErrorText(code), code);
    return code;
}

} // namespace zanto
