#pragma once
// Shared pieces of the playlist exporter's tests: a private temporary folder
// (so the exporter's work folders of one test are seen by that test alone),
// playlists over real movie files, and every decoded frame of an output.
#include "playlist/OrganizerExporter.h"
#include "services/ExportFailure.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace zanto::test {

// Text drawing needs the application's font database: one offscreen
// application for the whole test program.
inline void ensureGuiApplication()
{
    if (QGuiApplication::instance()) return;
    static int argc = 1;
    static char name[] = "zanto-tests";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication application(argc, argv);
}

// Points TMPDIR at a fresh folder for the life of the object, so that the
// exporter's "zanto-organizer-..." work folders can be listed and counted.
class ScopedTemporaryFolder {
public:
    ScopedTemporaryFolder() : folder_(dir_ / "tmp")
    {
        std::filesystem::create_directories(folder_);
        if (const char* old = std::getenv("TMPDIR")) previous_ = old;
        setenv("TMPDIR", folder_.c_str(), 1);
    }
    ~ScopedTemporaryFolder()
    {
        if (previous_.empty())
            unsetenv("TMPDIR");
        else
            setenv("TMPDIR", previous_.c_str(), 1);
    }
    ScopedTemporaryFolder(const ScopedTemporaryFolder&) = delete;
    ScopedTemporaryFolder& operator=(const ScopedTemporaryFolder&) = delete;

    // Entries left in the temporary folder (the exporter's leftovers), sorted.
    std::vector<std::string> leftovers() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    TempDir dir_{"zanto-exporter-tmp-"};
    std::filesystem::path folder_;
    std::string previous_;
};

inline OrganizerSource sourceAt(const std::string& id, const std::filesystem::path& path, double offset = 0)
{
    OrganizerSource source;
    source.id = id;
    source.name = id;
    source.path = path.string();
    source.offset = offset;
    return source;
}

inline OrganizerItem videoItem(const std::string& name, const std::string& sourceID, double start, double end)
{
    OrganizerItem item;
    item.name = name;
    item.kind = "video";
    item.sourceID = sourceID;
    item.sourceIDs = {sourceID};
    item.start = start;
    item.end = end;
    return item;
}

inline OrganizerItem stillItem(const std::string& name, const std::string& kind, double length)
{
    OrganizerItem item;
    item.name = name;
    item.kind = kind;
    item.start = 0;
    item.end = length;
    return item;
}

inline OrganizerDocument documentWith(std::vector<OrganizerSource> sources, const std::vector<OrganizerItem>& items)
{
    OrganizerDocument document;
    document.sources = std::move(sources);
    document.rows.front().items = items;
    return document;
}

struct ProgressStep {
    double fraction;
    std::string text;
};

// Runs render and returns the message it failed with ("" on success).
inline std::string renderMessage(OrganizerExporter& exporter, const OrganizerDocument& document,
                                 const std::vector<OrganizerItem>& items, const std::filesystem::path& url,
                                 std::vector<ProgressStep>* steps = nullptr)
{
    try {
        exporter.render(document, items, url, [&](double fraction, const std::string& text) {
            if (steps) steps->push_back({fraction, text});
        });
    } catch (const ExportFailure& error) {
        return error.message;
    }
    return "";
}

// Every frame of a movie, scaled to `width` × `height`, as packed BGRA.
inline std::vector<TestFrame> decodeAllFrames(const std::filesystem::path& path, int width, int height)
{
    const std::string raw = runTool("ffmpeg", {"-v", "error", "-i", path.string(), "-vf",
                                               "scale=" + std::to_string(width) + ":" + std::to_string(height),
                                               "-fps_mode", "passthrough", "-f", "rawvideo", "-pix_fmt", "bgra", "-"});
    const size_t bytes = size_t(width) * size_t(height) * 4;
    std::vector<TestFrame> frames;
    for (size_t at = 0; at + bytes <= raw.size(); at += bytes) {
        TestFrame frame;
        frame.width = width;
        frame.height = height;
        frame.bgra.assign(raw.begin() + long(at), raw.begin() + long(at + bytes));
        frames.push_back(std::move(frame));
    }
    return frames;
}

// Keeps a frame where a person can look at it after the run.
inline void saveForReview(const TestFrame& frame, const std::string& name)
{
    std::filesystem::create_directories(ZANTO_TEST_OUTPUT_DIR);
    QImage image(frame.bgra.data(), frame.width, frame.height, frame.width * 4, QImage::Format_ARGB32);
    image.save(QString::fromStdString((std::filesystem::path(ZANTO_TEST_OUTPUT_DIR) / name).string()));
}

// A quarter-turned phone clip (320 × 180 stored, colour bars) and how much of
// its upright picture a placed frame shows: upright it is 180 × 320, fitted
// into 1280 × 720 it is scaled by 2.25 and starts at x 437.5.
inline std::filesystem::path makePhoneMovie(const std::filesystem::path& path)
{
    TestMovieOptions phone;
    phone.width = 320;
    phone.height = 180;
    phone.picture = TestPicture::Bars;
    phone.rotationDegrees = 90;
    phone.audio = false;
    return makeTestMovie(path, phone);
}

struct SampleMatch {
    int compared = 0;
    int matched = 0; // within 40 in every channel
};

// Compares a grid of points of the upright picture with where the fitted
// picture puts them on the canvas.
inline SampleMatch comparePhonePlacement(const TestFrame& placed, const TestFrame& upright)
{
    SampleMatch match;
    for (int v = 20; v < 320; v += 37) {
        for (int u = 15; u < 180; u += 31) {
            const TestFrame::Pixel want = upright.pixel(u, v);
            const TestFrame::Pixel got = placed.pixel(int(437.5 + (u + 0.5) * 2.25), int((v + 0.5) * 2.25));
            ++match.compared;
            match.matched +=
                std::abs(got.r - want.r) <= 40 && std::abs(got.g - want.g) <= 40 && std::abs(got.b - want.b) <= 40;
        }
    }
    return match;
}

} // namespace zanto::test
