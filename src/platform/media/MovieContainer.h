#pragma once

namespace zanto {

// The file format a movie is written in.
enum class MovieContainer { MP4, QuickTime };

} // namespace zanto
