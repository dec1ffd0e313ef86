#pragma once
// Helpers shared by the tests of playlist packages and of the Sportscode
// import: files written and read as bytes, failures described as short texts
// that a table can hold, and mutations of a file for bounded fuzzing.
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "services/ExportFailure.h"
#include "services/JsonCoding.h"

namespace zanto::test {

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string readBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// "ok", "failure:<message>", "decoding", "encoding" or "system:<errno>".
inline std::string outcomeOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ExportFailure& error) {
        return "failure:" + error.message;
    } catch (const DecodingError&) {
        return "decoding";
    } catch (const EncodingError&) {
        return "encoding";
    } catch (const std::system_error& error) {
        return "system:" + std::to_string(error.code().value());
    }
    return "ok";
}

inline std::string systemOutcome(int error)
{
    return "system:" + std::to_string(error);
}

// Hidden ".playlist-" work folders and backups standing in `folder`.
inline std::vector<std::string> leftovers(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(".playlist-") || name.starts_with(".zanto-")) names.push_back(name);
    }
    return names;
}

// One random damage to a JSON text: a flipped byte, a cut, a dropped or
// doubled span, a stray bracket or quote, or a number swapped for a string.
inline std::string mutated(std::string text, std::mt19937& random)
{
    if (text.empty()) return "{";
    auto at = [&] { return std::uniform_int_distribution<std::size_t>(0, text.size() - 1)(random); };
    const std::size_t position = at();
    const std::size_t length = std::min<std::size_t>(text.size() - position, 1 + random() % 24);
    switch (random() % 7) {
    case 0:
        text[position] = static_cast<char>(random() % 256);
        break;
    case 1:
        text.resize(position);
        break;
    case 2:
        text.erase(position, length);
        break;
    case 3:
        text.insert(position, text.substr(position, length));
        break;
    case 4:
        text.insert(position, 1, "[]{}\",:"[random() % 7]);
        break;
    case 5:
        text.insert(position, "\"x\"");
        break;
    default:
        text.replace(position, length, std::string(length, "0-9e.\\"[random() % 6]));
        break;
    }
    return text;
}

} // namespace zanto::test
