#pragma once
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

#include "services/ExportRequest.h"

namespace zanto {

// One clip-export job. Every export makes its own object; only its maker
// cancels it. `lock_` guards `cancelled_`.
class MediaExporter {
public:
    MediaExporter() = default;
    MediaExporter(const MediaExporter&) = delete;
    MediaExporter& operator=(const MediaExporter&) = delete;

    // Asks a running export to stop at its next check. Any thread.
    void cancel();
    bool isCancelled() const;

    // The source-identity rule: the file is the source when its file name
    // equals `source.name` and its byte size (64-bit) equals `source.size`.
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
