#include "support/TestMedia.h"

#include <QProcess>
#include <QStringList>

#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace zanto::test {
namespace {

const char* kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

std::string num(double value)
{
    std::ostringstream out;
    out.precision(10);
    out << value;
    return out.str();
}

std::string videoSource(const TestMovieOptions& o)
{
    std::string size = std::to_string(o.width) + "x" + std::to_string(o.height);
    std::string rate = std::to_string(o.frameRate) + "/" + std::to_string(o.frameRateBase);
    std::string common = "s=" + size + ":r=" + rate + ":d=" + num(o.durationSeconds);
    switch (o.picture) {
    case TestPicture::Bars:
        return "testsrc2=" + common;
    case TestPicture::Solid:
        return "color=c=" + o.colour + ":" + common;
    case TestPicture::FrameCode:
        break;
    }
    return "color=c=black:" + common;
}

std::string videoFilter(const TestMovieOptions& o)
{
    std::vector<std::string> filters;
    if (o.picture == TestPicture::FrameCode) {
        filters.push_back("geq=lum='if(mod(floor(N/pow(2\\,floor(X*8/W)))\\,2)\\,235\\,16)':cb=128:cr=128");
        filters.push_back(std::string("drawtext=fontfile=") + kFont + ":text='%{frame_num}':x=4:y=2:fontsize="
                          + std::to_string(std::max(8, o.height / 5)) + ":fontcolor=red");
    }
    if (!o.pixelAspect.empty()) filters.push_back("setsar=" + o.pixelAspect);
    if (o.variableFrameRate) {
        // Every other frame comes half a frame late: intervals of 1.5 and 0.5 frames.
        filters.push_back("settb=1/600");
        filters.push_back("setpts='(N+0.5*mod(N\\,2))/(FRAME_RATE*TB)'");
    }
    std::string joined;
    for (const auto& f : filters) joined += (joined.empty() ? "" : ",") + f;
    return joined;
}

std::vector<std::string> encodeArguments(const TestMovieOptions& o, const std::filesystem::path& out)
{
    std::vector<std::string> args{"-v", "error", "-y"};
    if (o.video) args.insert(args.end(), {"-f", "lavfi", "-i", videoSource(o)});
    if (o.audio) {
        double audioDuration = o.audioDurationSeconds >= 0 ? o.audioDurationSeconds : o.durationSeconds;
        if (o.audioDelaySeconds > 0) args.insert(args.end(), {"-itsoffset", num(o.audioDelaySeconds)});
        args.insert(args.end(), {"-f", "lavfi", "-i",
                                 "sine=frequency=" + num(o.toneHz) + ":sample_rate=" + std::to_string(o.sampleRate)
                                     + ":duration=" + num(audioDuration)});
    }
    if (o.video) {
        std::string filter = videoFilter(o);
        if (!filter.empty()) args.insert(args.end(), {"-vf", filter});
        if (o.variableFrameRate) args.insert(args.end(), {"-fps_mode", "vfr", "-enc_time_base", "1:600"});
        args.insert(args.end(), {"-c:v", o.videoCodec, "-pix_fmt", "yuv420p"});
        if (o.videoCodec == "libx264" && o.bFrames)
            args.insert(args.end(), {"-preset", "veryfast", "-g", std::to_string(2 * o.frameRate / o.frameRateBase),
                                     "-x264-params", "bframes=3:b-adapt=0:b-pyramid=normal"});
        else if (o.videoCodec == "libx264")
            args.insert(args.end(), {"-preset", "ultrafast", "-g", "15"});
        else if (o.videoCodec == "libvpx")
            args.insert(args.end(), {"-deadline", "realtime", "-cpu-used", "8"});
        if (!o.colourMatrix.empty()) args.insert(args.end(), {"-colorspace", o.colourMatrix});
        if (!o.timecode.empty()) args.insert(args.end(), {"-timecode", o.timecode});
    }
    if (o.audio)
        args.insert(args.end(),
                    {"-c:a", o.audioCodec, "-ac", std::to_string(o.channels), "-ar", std::to_string(o.sampleRate)});
    if (o.piped)
        args.insert(args.end(), {"-f", out.extension() == ".webm" ? "webm" : "matroska", "pipe:1"});
    else
        args.push_back(out.string());
    return args;
}

std::map<std::string, std::string> keyValues(const std::string& block)
{
    std::map<std::string, std::string> values;
    std::istringstream lines(block);
    std::string line;
    while (std::getline(lines, line)) {
        auto eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

double toDouble(const std::string& text)
{
    try {
        return std::stod(text);
    } catch (...) {
        return 0;
    }
}

double rate(const std::string& fraction)
{
    auto slash = fraction.find('/');
    if (slash == std::string::npos) return toDouble(fraction);
    double den = toDouble(fraction.substr(slash + 1));
    return den == 0 ? 0 : toDouble(fraction.substr(0, slash)) / den;
}

std::vector<std::map<std::string, std::string>> probeStreams(const std::filesystem::path& path, std::string* format)
{
    std::string text = runTool("ffprobe", {"-v", "error", "-show_streams", "-show_format", path.string()});
    std::vector<std::map<std::string, std::string>> streams;
    size_t at = 0;
    while ((at = text.find("[STREAM]", at)) != std::string::npos) {
        size_t end = text.find("[/STREAM]", at);
        streams.push_back(keyValues(text.substr(at, end - at)));
        at = end;
    }
    size_t f = text.find("[FORMAT]");
    *format = f == std::string::npos ? "" : text.substr(f);
    return streams;
}

} // namespace

std::string runTool(const std::string& program, const std::vector<std::string>& arguments)
{
    QStringList args;
    for (const auto& a : arguments) args << QString::fromStdString(a);
    QProcess process;
    process.start(QString::fromStdString(program), args);
    if (!process.waitForStarted(10000)) throw std::runtime_error(program + " does not start");
    process.closeWriteChannel();
    process.waitForFinished(120000);
    QByteArray out = process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw std::runtime_error(program + " failed: " + process.readAllStandardError().toStdString());
    return std::string(out.constData(), size_t(out.size()));
}

std::filesystem::path makeTestMovie(const std::filesystem::path& path, const TestMovieOptions& options)
{
    if (options.piped) {
        std::ofstream(path, std::ios::binary) << runTool("ffmpeg", encodeArguments(options, path));
        return path;
    }
    if (options.rotationDegrees == 0) {
        runTool("ffmpeg", encodeArguments(options, path));
        return path;
    }
    // The encoder drops rotation metadata; a stream copy keeps it.
    std::filesystem::path plain = path;
    plain.replace_filename(".unrotated-" + path.filename().string());
    runTool("ffmpeg", encodeArguments(options, plain));
    runTool("ffmpeg", {"-v", "error", "-y", "-i", plain.string(), "-map", "0", "-c", "copy", "-metadata:s:v:0",
                       "rotate=" + std::to_string(options.rotationDegrees), path.string()});
    std::filesystem::remove(plain);
    return path;
}

std::filesystem::path makeTestImage(const std::filesystem::path& path, int width, int height, const std::string& colour)
{
    std::string size = std::to_string(width) + "x" + std::to_string(height);
    std::string source = colour == "bars" ? "testsrc2=s=" + size : "color=c=" + colour + ":s=" + size;
    runTool("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", source, "-frames:v", "1", path.string()});
    return path;
}

MovieFacts inspectMovie(const std::filesystem::path& path)
{
    MovieFacts facts;
    std::string format;
    for (const auto& s : probeStreams(path, &format)) {
        auto get = [&](const char* key) {
            auto it = s.find(key);
            return it == s.end() ? std::string() : it->second;
        };
        if (get("codec_type") == "video" && !facts.hasVideo) {
            facts.hasVideo = true;
            facts.width = int(toDouble(get("width")));
            facts.height = int(toDouble(get("height")));
            facts.frameRate = rate(get("avg_frame_rate"));
            facts.videoCodec = get("codec_name");
            facts.profile = get("profile");
            facts.pixelFormat = get("pix_fmt");
            facts.colourSpace = get("color_space");
        } else if (get("codec_type") == "audio" && !facts.hasAudio) {
            facts.hasAudio = true;
            facts.audioCodec = get("codec_name");
            facts.sampleRate = int(toDouble(get("sample_rate")));
            facts.channels = int(toDouble(get("channels")));
            facts.audioStartSeconds = toDouble(get("start_time"));
            facts.audioDurationSeconds = toDouble(get("duration"));
        }
    }
    facts.durationSeconds = toDouble(keyValues(format)["duration"]);
    facts.startSeconds = toDouble(keyValues(format)["start_time"]);
    if (facts.hasVideo) {
        std::istringstream times(
            runTool("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                "frame=best_effort_timestamp_time", "-of", "csv=p=0", path.string()}));
        std::string line;
        while (std::getline(times, line))
            if (!line.empty()) facts.frameTimes.push_back(toDouble(line));
    }
    return facts;
}

TestFrame::Pixel TestFrame::pixel(int x, int y) const
{
    const uint8_t* p = bgra.data() + (size_t(y) * size_t(width) + size_t(x)) * 4;
    return Pixel{p[0], p[1], p[2], p[3]};
}

TestFrame decodeFrame(const std::filesystem::path& path, int frameIndex)
{
    std::string pam =
        runTool("ffmpeg", {"-v", "error", "-i", path.string(), "-vf",
                           "select=eq(n\\," + std::to_string(frameIndex) + ")", "-fps_mode", "passthrough", "-frames:v",
                           "1", "-f", "image2pipe", "-c:v", "pam", "-pix_fmt", "rgba", "-"});
    size_t end = pam.find("ENDHDR\n");
    if (end == std::string::npos)
        throw std::runtime_error("no frame " + std::to_string(frameIndex) + " in " + path.string());
    auto header = pam.substr(0, end);
    TestFrame frame;
    std::istringstream words(header);
    std::string word;
    while (words >> word) {
        if (word == "WIDTH")
            words >> frame.width;
        else if (word == "HEIGHT")
            words >> frame.height;
    }
    const char* data = pam.data() + end + 7;
    size_t bytes = size_t(frame.width) * size_t(frame.height) * 4;
    if (pam.size() < end + 7 + bytes) throw std::runtime_error("short frame from " + path.string());
    frame.bgra.assign(data, data + bytes);
    // PAM carries RGBA; keep the BGRA order of our own frames.
    for (size_t i = 0; i < bytes; i += 4) std::swap(frame.bgra[i], frame.bgra[i + 2]);
    return frame;
}

TestFrame decodeFrameAt(const std::filesystem::path& path, double seconds)
{
    std::vector<double> times = inspectMovie(path).frameTimes;
    int index = 0;
    for (size_t i = 0; i < times.size(); ++i)
        if (times[i] <= seconds + 1e-6) index = int(i);
    return decodeFrame(path, index);
}

int readFrameCode(const TestFrame& frame, int left, int top, int width, int height)
{
    int code = 0;
    int y = top + height * 3 / 4;
    for (int bit = 0; bit < 8; ++bit) {
        int x = left + (2 * bit + 1) * width / 16;
        TestFrame::Pixel p = frame.pixel(x, y);
        int level = (p.r + p.g + p.b) / 3;
        if (level > 180)
            code |= 1 << bit;
        else if (level > 70)
            return -1;
    }
    return code;
}

namespace {

std::vector<float> decodeAudio(const std::filesystem::path& path, const std::string& filter, int sampleRate)
{
    MovieFacts facts = inspectMovie(path);
    if (!facts.hasAudio) return {};
    std::string raw =
        runTool("ffmpeg", {"-v", "error", "-i", path.string(), "-vn", "-af", "aresample=async=1:first_pts=0" + filter,
                           "-ac", "1", "-ar", std::to_string(sampleRate), "-f", "f32le", "-"});
    std::vector<float> samples(raw.size() / sizeof(float));
    std::memcpy(samples.data(), raw.data(), samples.size() * sizeof(float));
    return samples;
}

} // namespace

std::vector<float> decodeAudioMono(const std::filesystem::path& path, int sampleRate)
{
    return decodeAudio(path, "", sampleRate);
}

std::vector<float> decodeAudioChannel(const std::filesystem::path& path, int channel, int sampleRate)
{
    return decodeAudio(path, ",pan=mono|c0=c" + std::to_string(channel), sampleRate);
}

double rmsLevel(const std::vector<float>& samples, size_t from, size_t to)
{
    to = std::min(to, samples.size());
    if (from >= to) return 0;
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(to - from));
}

} // namespace zanto::test
