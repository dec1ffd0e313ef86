#pragma once
#include "playlist/OrganizerDocument.h"

#include <filesystem>

// How the playlist exports report failures of the disk and of the movies they
// read to the person who started them. The media layer's and the system's
// own messages are English and name hidden temporary files; these name the
// file the person chose, or the source movie at fault, in Japanese, with the
// system's own detail after it.

namespace zanto {

// Rethrows the exception in flight, inside a catch handler of an export of
// `document` to `chosen`: a media failure that names one of the document's
// source movies as an ExportFailure about reading that movie; any other media
// failure, and the system's file errors, as an ExportFailure about saving
// `chosen`; everything else (the system's own ExportFailure texts among them)
// unchanged.
[[noreturn]] void rethrowExportFailure(const OrganizerDocument& document, const std::filesystem::path& chosen);

} // namespace zanto
