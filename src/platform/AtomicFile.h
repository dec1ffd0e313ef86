#pragma once
#include <filesystem>
#include <string_view>

namespace zanto {

// Replaces the file at `path` with `bytes` so that no reader, and no crash,
// ever sees a part of it: the bytes go to a hidden file in the same folder,
// are flushed to disk (fsync), and the hidden file is renamed over `path`;
// the folder is then synced too so that the rename itself survives a power
// loss. A new file gets permissions 0666 less the umask; an existing one
// keeps its own. On failure the hidden file is removed, `path` is unchanged
// and std::system_error carries the OS's own description. The hidden file
// stays locked (flock) while it is written; hidden files in the folder that
// nobody holds locked, left by writers that were killed, are removed first.
// Any thread.
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

} // namespace zanto
