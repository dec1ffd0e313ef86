#pragma once
#include "playlist/OrganizerDocument.h"
#include "playlist/OrganizerItem.h"

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace zanto {

struct Composition;

// The job object of one playlist export. One exporter serves one export:
// once cancel() has been called it stays cancelled.
//
// Threads: render() runs on the caller's (background) thread and calls the
// progress callback synchronously there. cancel() may come from any thread
// at any time, any number of times. The failures thrown are ExportFailure
// with a finished message for the user, or the platform's own errors.
class OrganizerExporter {
public:
    // A fraction from 0 to 1 and a text for the user.
    using Progress = std::function<void(double fraction, const std::string& text)>;

    OrganizerExporter() = default;
    OrganizerExporter(const OrganizerExporter&) = delete;
    OrganizerExporter& operator=(const OrganizerExporter&) = delete;

    // Stops the running export (if any) and every later step of this exporter.
    void cancel();

    // Removes the work folders that renders killed in the middle left in the
    // temporary folder, never one a running render (of any process) holds.
    // Best effort; any thread.
    static void removeAbandonedWork() noexcept;

    // Throws "書き出しを中止しました。" once cancel() has been called.
    void check() const;

    // Writes the items back to back as one 1280 × 720, 30 fps MP4 at `url`:
    // video items cut from their sources with their sound, other items as
    // still slides, marks drawn in. The movie is written to a hidden file
    // beside `url`, held locked meanwhile, and renamed into place once whole,
    // so whatever stood at `url` before stays as it was until then and after a
    // failure or a cancel; hidden files of exports that were killed are
    // removed first, and the temporary work folder on every way out. Throws the
    // document's validation failure, "1〜1000件を選んでください。",
    // "映像を再接続してください：<name>", "映像の範囲外です：<name>。…", a slide's
    // failure, "書き出しを中止しました。", or the disk's and the movies' failures
    // told about `url` or the source movie (see rethrowExportFailure).
    void render(const OrganizerDocument& document, const std::vector<OrganizerItem>& items,
                const std::filesystem::path& url, const Progress& progress);

    // Writes one Final Cut Pro XML 1.10 file at `url`: the items one after
    // another, one clip each. Video items without marks are referenced in their
    // own movies; every other item is first rendered with render() into the
    // materials folder "<safe title>-素材-<8 characters>" beside `url`, which
    // stays only when it holds such movies. `url` is written once, atomically,
    // at the end; after a failure or a cancel it is untouched and the folder is
    // gone. Progress: render()'s own reports scaled into the item's share, then
    // "XML素材を準備中" after each item. Failures of the disk and of the movies
    // are told about `url` or the source movie, as render() tells them.
    void exportXML(const OrganizerDocument& document, const std::vector<OrganizerItem>& items, const std::string& title,
                   const std::filesystem::path& url, const Progress& progress);

private:
    // render() and exportXML() with the failures as the layers below throw them.
    void renderInPlace(const OrganizerDocument& document, const std::vector<OrganizerItem>& items,
                       const std::filesystem::path& url, const Progress& progress);
    void writeXML(const OrganizerDocument& document, const std::vector<OrganizerItem>& items, const std::string& title,
                  const std::filesystem::path& url, const Progress& progress);

    // Renders the items into `file`, a file of this export's own, which is
    // removed after a failure.
    void renderMovie(const OrganizerDocument& document, const std::vector<OrganizerItem>& items,
                     const std::filesystem::path& file, const Progress& progress);

    // Writes a still movie of a title, image or freeze item for at least the
    // item's length (H.264 in a QuickTime file, 1280 × 720, 30 fps).
    void slide(const OrganizerItem& item, const OrganizerDocument& document, const std::filesystem::path& url) const;

    // Runs the media export of the composed items into `url`, reporting the
    // share written as the fraction.
    void exportComposition(Composition composition, const std::filesystem::path& url, const Progress& progress);

    // Installs the cancel action of the running media export (empty when none).
    // Returns false, without installing it, when the exporter is already stopped.
    bool setSessionCancel(std::function<void()> cancelSession);

    // Guards stopped_ and sessionCancel_ only; never held while calling out.
    mutable std::mutex lock_;
    bool stopped_ = false;
    std::function<void()> sessionCancel_;
};

} // namespace zanto
