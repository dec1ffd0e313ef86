#pragma once
#include <filesystem>
#include <string>
#include <string_view>

// Text helpers of the Final Cut Pro XML writers. Plain functions, any thread,
// never throw (other than std::bad_alloc).
namespace zanto {

// `text` made fit for an XML 1.0 document: characters that XML 1.0 cannot
// carry (control characters other than tab, line feed and carriage return,
// U+FFFE and U+FFFF) are dropped, and every byte that is not part of a
// well-formed UTF-8 sequence becomes U+FFFD. Names and notes come from users
// and imported playlists, and one such character would make the whole file
// unreadable to every XML parser.
std::string xmlSafeText(std::string_view text);

// The file URL of `path` made absolute: "file://" and the path's bytes, each
// byte other than an unreserved character (A-Z a-z 0-9 - . _ ~) or "/" written
// as %XX. "/tmp/試合 1.mp4" becomes "file:///tmp/%E8%A9%A6%E5%90%88%201.mp4".
std::string fileURL(const std::filesystem::path& path);

} // namespace zanto
