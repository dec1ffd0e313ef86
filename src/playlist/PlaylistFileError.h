#pragma once
#include "platform/UserFileError.h"

#include <filesystem>

// How opening and saving a playlist report failures of the platform to the
// person who chose the file: call rethrowForUser() inside a catch handler.
// The system's own messages carry the paths of hidden work folders and
// English texts; these name the playlist the person chose.

namespace zanto {

// Rethrows the exception in flight: the system's file errors as a
// UserFileError about `chosen` (same code), bytes that are no playlist as a
// DecodingError saying so with the decoder's text after it, and every other
// error (the system's own ExportFailure texts among them) unchanged.
[[noreturn]] void rethrowForUser(const std::filesystem::path& chosen, FileAction action);

} // namespace zanto
