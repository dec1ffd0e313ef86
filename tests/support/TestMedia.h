#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Small movies for tests, made and read back with the ffmpeg and ffprobe
// command-line tools, so that checks never depend on the media layer under test.
namespace zanto::test {

enum class TestPicture {
    // The frame index as 8 vertical stripes (bit 0 on the left; white = 1,
    // black = 0) with the index also drawn as text near the top.
    FrameCode,
    // Colour bars (ffmpeg's testsrc2).
    Bars,
    // One flat colour (`colour`, an ffmpeg colour name or 0xRRGGBB).
    Solid,
};

struct TestMovieOptions {
    int width = 160;
    int height = 90;
    int frameRate = 30;    // frames per second (numerator)
    int frameRateBase = 1; // denominator: 1001 with frameRate 30000 for 29.97
    double durationSeconds = 1.0;
    TestPicture picture = TestPicture::FrameCode;
    std::string colour = "red";
    bool video = true;
    bool audio = true;
    double toneHz = 440.0;
    int sampleRate = 48000;
    int channels = 2;
    double audioDelaySeconds = 0.0;   // the audio track starts this much after the video
    double audioDurationSeconds = -1; // < 0: as long as the video
    int rotationDegrees = 0;          // display rotation metadata (90: a phone held upright)
    std::string timecode;             // e.g. "01:00:00:00" writes a timecode track
    bool variableFrameRate = false;   // frame times jitter between 1/frameRate and 2/frameRate
    std::string videoCodec = "libx264";
    bool bFrames = false; // libx264: three B-frames in every four, the middle one a reference; a key frame every 2 s
    std::string colourMatrix; // "bt709", "bt470bg", "smpte170m"... tagged when set
    std::string pixelAspect;  // e.g. "4/3": non-square pixels (120 coded shows as 160 wide)
    std::string audioCodec = "aac";
    bool piped = false; // Matroska or WebM written to a pipe, as a live recorder writes: no stated length, no cues
};

// Writes a movie (container from the extension: .mp4 or .mov) and returns `path`.
// Throws std::runtime_error with ffmpeg's output when the tool fails.
std::filesystem::path makeTestMovie(const std::filesystem::path& path, const TestMovieOptions& options = {});

// A still image file (PNG, JPEG... by extension) of one colour or of bars.
std::filesystem::path makeTestImage(const std::filesystem::path& path, int width, int height,
                                    const std::string& colour = "blue");

// What ffprobe and ffmpeg see in a written movie.
struct MovieFacts {
    double durationSeconds = 0;
    double startSeconds = 0; // the file's first presentation time
    bool hasVideo = false;
    int width = 0;
    int height = 0;
    double frameRate = 0; // the stream's average frame rate
    std::string videoCodec;
    std::string profile;
    std::string pixelFormat;
    std::string colourSpace;
    std::vector<double> frameTimes; // presentation times of every video frame, in order
    bool hasAudio = false;
    std::string audioCodec;
    int sampleRate = 0;
    int channels = 0;
    double audioStartSeconds = 0;
    double audioDurationSeconds = 0;
};
MovieFacts inspectMovie(const std::filesystem::path& path);

// One decoded picture: premultiplied-free BGRA bytes, rows packed.
struct TestFrame {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgra;
    struct Pixel {
        int b, g, r, a;
    };
    Pixel pixel(int x, int y) const;
};
// The frame with the given index (0 = first) as ffmpeg decodes it, upright
// when the file carries a rotation.
TestFrame decodeFrame(const std::filesystem::path& path, int frameIndex);
// The picture on show at `seconds`: the last frame whose time is at or before it.
TestFrame decodeFrameAt(const std::filesystem::path& path, double seconds);

// Reads the FrameCode index from a picture region (left, top, width, height
// of the area the test movie's picture covers); -1 when the stripes are not
// clean black or white (a frame that is not one of ours).
int readFrameCode(const TestFrame& frame, int left, int top, int width, int height);

// The movie's audio mixed down to mono float samples at `sampleRate`; empty
// when there is no audio.
std::vector<float> decodeAudioMono(const std::filesystem::path& path, int sampleRate = 8000);
// One channel (0 = left) of the movie's audio as float samples at `sampleRate`.
std::vector<float> decodeAudioChannel(const std::filesystem::path& path, int channel, int sampleRate = 8000);
// Root-mean-square level of samples [from, to) of a decoded track.
double rmsLevel(const std::vector<float>& samples, size_t from, size_t to);

// Runs a tool with arguments; returns its standard output. Throws with the
// tool's standard error on a non-zero exit.
std::string runTool(const std::string& program, const std::vector<std::string>& arguments);

} // namespace zanto::test
