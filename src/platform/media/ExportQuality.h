#pragma once
#include <string>
#include <vector>

// The one set of "highest quality" encoder settings shared by every export
// (playlist MP4, clip MP4, freeze frames). Changing a value here
// changes every file the program writes.
namespace zanto::ExportQuality {

inline constexpr const char* videoEncoder = "libx264";
inline constexpr const char* videoProfile = "high";
// Constant-rate-factor quality: 18 is visually indistinguishable from the
// source at 1280 × 720; the preset trades file size for speed only.
inline constexpr int constantRateFactor = 18;
inline constexpr const char* preset = "fast";
// Movies only this program reads again on the way to an export (the still
// movies of playlist slides) are encoded once more: they are made fast, and
// finer than the export, so that encoding twice costs nothing visible.
inline constexpr const char* intermediatePreset = "ultrafast";
inline constexpr int intermediateConstantRateFactor = 10;
inline constexpr const char* pixelFormat = "yuv420p";
inline constexpr const char* colourStandard = "bt709"; // primaries, transfer and matrix; limited range
inline constexpr const char* audioEncoder = "aac";
inline constexpr int audioSampleRate = 48000;
inline constexpr int audioChannels = 2;
inline constexpr int audioBitRate = 192000;
// MP4 and MOV files put their index first so that they start playing before
// they are fully read.
inline constexpr bool fastStart = true;

// The same settings as ffmpeg command-line output options, for comparisons.
std::vector<std::string> commandLineArguments();

} // namespace zanto::ExportQuality
