#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/media/MediaAsset.h"
#include "services/ExportRequest.h"

namespace zanto {

// One clip-export job. Every export makes its own object; only its maker
// cancels it. `lock_` guards `cancelled_`.
class MediaExporter {
public:
    MediaExporter() = default;
    MediaExporter(const MediaExporter&) = delete;
    MediaExporter& operator=(const MediaExporter&) = delete;

    // A fraction from 0 to 1 and a text for the user.
    using Progress = std::function<void(double fraction, const std::string& text)>;

    // Asks a running export to stop at its next check. Any thread.
    void cancel();
    bool isCancelled() const;

    // Writes the output of `request` for the movie `source` into the existing
    // folder `directory` and returns the files written. Runs on the caller's
    // thread and calls `progress` there. Before writing anything it checks the
    // mode and clip count, the source's identity, that the file is a readable
    // movie of the request's duration, every clip range and cancellation, in
    // this order, throwing ExportFailure with the user's message. Mode
    // "fcpxml" writes `safeFilename(title)` + ".fcpxml" atomically (a write
    // failure throws std::system_error); the MP4 modes are refused here.
    std::vector<std::filesystem::path> run(const ExportRequest& request, const std::filesystem::path& source,
                                           const std::filesystem::path& directory, const Progress& progress);

    // run() without the writing: the checked document's text. `probed`, when
    // given, is the probe of `source` already made (an asset without video
    // for a file that could not be read), so a caller exporting many clips of
    // one movie probes it once.
    std::string document(const ExportRequest& request, const std::filesystem::path& source,
                         const MediaAsset* probed) const;

    // The one-clip Final Cut Pro XML 1.10 document of `request` over the movie
    // `source` (probed as `asset`, whose video track is `video`): format "r1",
    // asset "r2", an event clip of the whole file with one keyword per clip
    // and a project whose spine holds one "asset-clip" per clip, back to back.
    // Every time is a whole number of frames written unreduced by xmlTime().
    // Throws ExportFailure for a frame rate, timecode or clip it cannot express.
    static std::string fcpxml(const ExportRequest& request, const std::filesystem::path& source,
                              const MediaAsset& asset, const VideoTrackInfo& video);

    // The source-identity rule: the file is the source when its file name
    // equals `source.name` (as Unicode text: composed and decomposed forms
    // of one name are equal; case counts) and its byte size (64-bit) equals
    // `source.size`.
    // The duration is not compared. False when the size cannot be read.
    // Never throws.
    static bool matches(const std::filesystem::path& file, const ExportRequest::Source& source);

private:
    mutable std::mutex lock_;
    bool cancelled_ = false;
};

// Turns user text into a file or folder name: each of / \ : * ? " < > | and
// every control character becomes one "_", the result is cut to its first 70
// characters (grapheme clusters; a character is never split), and a result
// that is empty or white space only becomes "clip". Invalid UTF-8 bytes are
// read as U+FFFD. Never fails.
std::string safeFilename(std::string_view text);

// A rational media time as Final Cut Pro XML writes it, unreduced:
// xmlTime(1001, 30000) == "1001/30000s".
std::string xmlTime(std::int64_t value, std::int32_t timeScale);

} // namespace zanto
