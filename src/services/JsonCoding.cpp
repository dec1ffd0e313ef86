#include "services/JsonCoding.h"

#include <charconv>
#include <cmath>
#include <limits>

#include <nlohmann/json.hpp>

#include "platform/JsonNesting.h"

namespace zanto {
namespace {

std::string describeType(const nlohmann::json& value)
{
    return value.is_null() ? "null" : value.type_name();
}

std::string shownPath(const std::string& path)
{
    return path.empty() ? "the top level" : path;
}

[[noreturn]] void wrongType(const std::string& path, const char* expected, const nlohmann::json& found)
{
    throw DecodingError("Cannot read JSON: expected " + std::string(expected) + " at " + shownPath(path) + ", found "
                        + describeType(found));
}

double toNumber(const nlohmann::json& value, const std::string& path)
{
    if (value.is_number_float()) return value.get<double>();
    if (value.is_number_integer() && !value.is_number_unsigned()) return static_cast<double>(value.get<std::int64_t>());
    if (value.is_number_unsigned()) return static_cast<double>(value.get<std::uint64_t>());
    wrongType(path, "a number", value);
}

std::string toText(const nlohmann::json& value, const std::string& path)
{
    if (!value.is_string()) wrongType(path, "a string", value);
    return value.get<std::string>();
}

const nlohmann::json& toArray(const nlohmann::json& value, const std::string& path)
{
    if (!value.is_array()) wrongType(path, "an array", value);
    return value;
}

std::string elementPath(const std::string& path, std::size_t index)
{
    return path + "[" + std::to_string(index) + "]";
}

} // namespace

// ---- JsonDocument

JsonDocument::JsonDocument() : root_(std::make_unique<nlohmann::json>()) { }
JsonDocument::~JsonDocument() = default;
JsonDocument::JsonDocument(JsonDocument&&) noexcept = default;
JsonDocument& JsonDocument::operator=(JsonDocument&&) noexcept = default;

JsonDocument JsonDocument::parse(std::string_view text)
{
    // No document of ours nests deeply; refusing early keeps a hostile text
    // from building millions of nested containers.
    if (jsonNestingDepth(text) > jsonNestingLimit) throw DecodingError("Cannot read JSON: nested too deeply");
    JsonDocument document;
    try {
        *document.root_ = nlohmann::json::parse(text.begin(), text.end());
    } catch (const nlohmann::json::exception& error) {
        throw DecodingError(std::string("Cannot read JSON: ") + error.what());
    }
    return document;
}

// ---- JsonObjectReader

JsonObjectReader::JsonObjectReader(const nlohmann::json& value, std::string path)
    : value_(&value), path_(std::move(path))
{
    if (!value.is_object()) wrongType(path_, "an object", value);
}

std::string JsonObjectReader::keyPath(const char* key) const
{
    return path_.empty() ? std::string(key) : path_ + "." + key;
}

bool JsonObjectReader::has(const char* key) const
{
    auto found = value_->find(key);
    return found != value_->end() && !found->is_null();
}

const nlohmann::json& JsonObjectReader::required(const char* key) const
{
    auto found = value_->find(key);
    if (found == value_->end() || found->is_null())
        throw DecodingError("Cannot read JSON: no value for key \"" + std::string(key) + "\" at " + shownPath(path_));
    return *found;
}

std::string JsonObjectReader::text(const char* key) const
{
    return toText(required(key), keyPath(key));
}

double JsonObjectReader::number(const char* key) const
{
    return toNumber(required(key), keyPath(key));
}

std::int64_t JsonObjectReader::integer(const char* key) const
{
    const nlohmann::json& value = required(key);
    if (value.is_number_integer() && !value.is_number_unsigned()) return value.get<std::int64_t>();
    if (value.is_number_unsigned()
        && value.get<std::uint64_t>() <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        return static_cast<std::int64_t>(value.get<std::uint64_t>());
    if (value.is_number_float()) {
        // 1.0 is a whole number; 1.5 and anything beyond 64 bits are not.
        const double number = value.get<double>();
        if (std::trunc(number) == number && number >= -0x1p63 && number < 0x1p63)
            return static_cast<std::int64_t>(number);
    }
    wrongType(keyPath(key), "a whole number in the 64-bit range", value);
}

bool JsonObjectReader::boolean(const char* key) const
{
    const nlohmann::json& value = required(key);
    if (!value.is_boolean()) wrongType(keyPath(key), "a boolean", value);
    return value.get<bool>();
}

std::vector<std::string> JsonObjectReader::texts(const char* key) const
{
    const std::string path = keyPath(key);
    const nlohmann::json& array = toArray(required(key), path);
    std::vector<std::string> result;
    result.reserve(array.size());
    for (std::size_t index = 0; index < array.size(); ++index)
        result.push_back(toText(array[index], elementPath(path, index)));
    return result;
}

std::vector<double> JsonObjectReader::numbers(const char* key) const
{
    const std::string path = keyPath(key);
    const nlohmann::json& array = toArray(required(key), path);
    std::vector<double> result;
    result.reserve(array.size());
    for (std::size_t index = 0; index < array.size(); ++index)
        result.push_back(toNumber(array[index], elementPath(path, index)));
    return result;
}

JsonObjectReader JsonObjectReader::object(const char* key) const
{
    return JsonObjectReader(required(key), keyPath(key));
}

void JsonObjectReader::objects(const char* key, const std::function<void(const JsonObjectReader&)>& each) const
{
    const std::string path = keyPath(key);
    const nlohmann::json& array = toArray(required(key), path);
    for (std::size_t index = 0; index < array.size(); ++index)
        each(JsonObjectReader(array[index], elementPath(path, index)));
}

std::optional<double> JsonObjectReader::optionalNumber(const char* key) const
{
    if (!has(key)) return std::nullopt;
    return number(key);
}

std::optional<std::vector<std::string>> JsonObjectReader::optionalTexts(const char* key) const
{
    if (!has(key)) return std::nullopt;
    return texts(key);
}

// ---- JsonWriter

namespace {

// Length of the well-formed UTF-8 sequence at the start of `text`, or 0 when
// it is not one (ranges after the Unicode standard's table of well-formed
// byte sequences: no overlongs, no surrogates, nothing above U+10FFFF).
std::size_t utf8SequenceLength(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return length;
}

void appendEscaped(std::string& out, unsigned char character)
{
    static const char hex[] = "0123456789abcdef";
    switch (character) {
    case '"':
        out += "\\\"";
        break;
    case '\\':
        out += "\\\\";
        break;
    case '\b':
        out += "\\b";
        break;
    case '\f':
        out += "\\f";
        break;
    case '\n':
        out += "\\n";
        break;
    case '\r':
        out += "\\r";
        break;
    case '\t':
        out += "\\t";
        break;
    default:
        out += "\\u00";
        out += hex[character >> 4];
        out += hex[character & 0xF];
    }
}

// A JSON string literal; an ill-formed UTF-8 byte becomes U+FFFD so that the
// text always reads back.
void appendJsonString(std::string& out, std::string_view text)
{
    out += '"';
    std::size_t index = 0;
    while (index < text.size()) {
        // Plain ASCII runs go in whole.
        std::size_t run = index;
        while (run < text.size() && static_cast<unsigned char>(text[run]) >= 0x20
               && static_cast<unsigned char>(text[run]) < 0x80 && text[run] != '"' && text[run] != '\\')
            ++run;
        out.append(text.substr(index, run - index));
        index = run;
        if (index == text.size()) break;
        const auto character = static_cast<unsigned char>(text[index]);
        if (character < 0x20 || character == '"' || character == '\\') {
            appendEscaped(out, character);
            ++index;
            continue;
        }
        const std::size_t length = utf8SequenceLength(text.substr(index));
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++index;
        } else {
            out.append(text.substr(index, length));
            index += length;
        }
    }
    out += '"';
}

} // namespace

std::string formatJsonNumber(double value)
{
    // Both zeros are written "0": they compare equal, and equal values must
    // give equal bytes (the sign of a zero carries no meaning here).
    if (value == 0) return "0";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

void JsonWriter::beforeValue()
{
    if (!levels_.empty()) {
        Level& level = levels_.back();
        if (level.array && level.count > 0) out_ += ',';
        ++level.count;
    }
}

std::string JsonWriter::currentPath() const
{
    std::string path;
    for (std::size_t index = 0; index < levels_.size(); ++index) {
        const Level& level = levels_[index];
        if (level.array) {
            // Outer arrays have already counted the element being written.
            const bool innermost = index + 1 == levels_.size();
            path += "[" + std::to_string(innermost ? level.count : level.count - 1) + "]";
        } else {
            path += (path.empty() ? "" : ".") + level.key;
        }
    }
    return path.empty() ? "the top level" : path;
}

JsonWriter& JsonWriter::beginObject()
{
    beforeValue();
    out_ += '{';
    levels_.push_back(Level{false, 0, {}});
    return *this;
}

JsonWriter& JsonWriter::endObject()
{
    levels_.pop_back();
    out_ += '}';
    return *this;
}

JsonWriter& JsonWriter::beginArray()
{
    beforeValue();
    out_ += '[';
    levels_.push_back(Level{true, 0, {}});
    return *this;
}

JsonWriter& JsonWriter::endArray()
{
    levels_.pop_back();
    out_ += ']';
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view name)
{
    Level& level = levels_.back();
    if (level.count > 0) out_ += ',';
    level.key = std::string(name);
    appendJsonString(out_, name);
    out_ += ':';
    return *this;
}

JsonWriter& JsonWriter::text(std::string_view value)
{
    beforeValue();
    appendJsonString(out_, value);
    return *this;
}

JsonWriter& JsonWriter::number(double value)
{
    if (!std::isfinite(value))
        throw EncodingError("Cannot write JSON: the number at " + currentPath()
                            + " is not finite and has no JSON form");
    beforeValue();
    out_ += formatJsonNumber(value);
    return *this;
}

JsonWriter& JsonWriter::integer(std::int64_t value)
{
    beforeValue();
    out_ += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::boolean(bool value)
{
    beforeValue();
    out_ += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::texts(const std::vector<std::string>& values)
{
    beginArray();
    for (const std::string& value : values) text(value);
    return endArray();
}

JsonWriter& JsonWriter::numbers(const std::vector<double>& values)
{
    beginArray();
    for (double value : values) number(value);
    return endArray();
}

} // namespace zanto
