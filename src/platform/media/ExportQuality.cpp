#include "platform/media/ExportQuality.h"

namespace zanto::ExportQuality {

std::vector<std::string> commandLineArguments()
{
    std::vector<std::string> args{"-c:v",
                                  videoEncoder,
                                  "-profile:v",
                                  videoProfile,
                                  "-preset",
                                  preset,
                                  "-crf",
                                  std::to_string(constantRateFactor),
                                  "-pix_fmt",
                                  pixelFormat,
                                  "-color_primaries",
                                  colourStandard,
                                  "-color_trc",
                                  colourStandard,
                                  "-colorspace",
                                  colourStandard,
                                  "-color_range",
                                  "tv",
                                  "-c:a",
                                  audioEncoder,
                                  "-ar",
                                  std::to_string(audioSampleRate),
                                  "-ac",
                                  std::to_string(audioChannels),
                                  "-b:a",
                                  std::to_string(audioBitRate)};
    if (fastStart) args.insert(args.end(), {"-movflags", "+faststart"});
    return args;
}

} // namespace zanto::ExportQuality
