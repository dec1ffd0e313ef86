#include "platform/media/MediaError.h"

extern "C" {
#include <libavutil/error.h>
}

namespace zanto {

std::string mediaErrorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

int checkMedia(int code, const std::string& what)
{
    if (code < 0)
        throw MediaError(what + ": " + mediaErrorText(code));
    return code;
}

} // namespace zanto
