#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <vector>

#include <nlohmann/json_fwd.hpp>

// Strict JSON coding shared by every model type.
//
// Reading: every required key must be present with the right JSON type; null
// counts as missing; a JSON integer is accepted where a double is expected;
// unknown keys are ignored. Failures throw DecodingError naming the JSON path
// ("rows[0].items[2].end").
//
// Writing: keys in the order they are written, compact, doubles in the
// shortest form that reads back exactly (integral values without a fraction).
// A non-finite double has no JSON form: writing one throws EncodingError.

namespace zanto {

struct DecodingError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct EncodingError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One parsed JSON text. Owns the parsed tree; readers point into it.
class JsonDocument {
public:
    // Throws DecodingError with the parser's own message when `text` is not
    // one well-formed JSON value in UTF-8.
    static JsonDocument parse(std::string_view text);
    ~JsonDocument();
    JsonDocument(JsonDocument&&) noexcept;
    JsonDocument& operator=(JsonDocument&&) noexcept;

    const nlohmann::json& root() const { return *root_; }

private:
    JsonDocument();
    std::unique_ptr<nlohmann::json> root_;
};

// A view of one JSON object inside a JsonDocument, with its path for messages.
// Valid only while the document lives.
class JsonObjectReader {
public:
    // Throws DecodingError when `value` is not an object.
    JsonObjectReader(const nlohmann::json& value, std::string path);

    const std::string& path() const { return path_; }

    std::string text(const char* key) const;
    double number(const char* key) const;
    // A whole number in the signed 64-bit range (1.0 counts as whole).
    std::int64_t integer(const char* key) const;
    bool boolean(const char* key) const;
    std::vector<std::string> texts(const char* key) const;
    std::vector<double> numbers(const char* key) const;
    JsonObjectReader object(const char* key) const;
    // Calls `each` for every element of an array of objects, in order.
    void objects(const char* key, const std::function<void(const JsonObjectReader&)>& each) const;

    // Optional keys: a missing key or null gives nothing; a present value must
    // have the right type.
    bool has(const char* key) const;
    std::optional<double> optionalNumber(const char* key) const;
    std::optional<std::vector<std::string>> optionalTexts(const char* key) const;

    // The value of `key` read by its C++ type: text, double, int64, bool, a
    // model type with a static decode(), a std::vector of any of these, or a
    // std::optional of any of these (missing or null gives nothing).
    template <class T>
    T read(const char* key) const;

private:
    const nlohmann::json& required(const char* key) const;
    std::string keyPath(const char* key) const;

    const nlohmann::json* value_;
    std::string path_;
};

// Builds compact JSON text in the order of the calls.
class JsonWriter {
public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    JsonWriter& key(std::string_view name);

    // Invalid UTF-8 in a text is written as U+FFFD rather than failing.
    JsonWriter& text(std::string_view value);
    // Throws EncodingError (with the JSON path) for a NaN or an infinity.
    JsonWriter& number(double value);
    JsonWriter& integer(std::int64_t value);
    JsonWriter& boolean(bool value);
    JsonWriter& texts(const std::vector<std::string>& values);
    JsonWriter& numbers(const std::vector<double>& values);
    // A value written by its C++ type: text, double, int64, bool, a model type
    // with encode(JsonWriter&), or a std::vector of any of these.
    template <class T>
    JsonWriter& value(const T& value);

    const std::string& result() const { return out_; }
    std::string take() { return std::move(out_); }

private:
    void beforeValue();
    std::string currentPath() const;

    struct Level {
        bool array = false;
        std::size_t count = 0;
        std::string key;
    };
    std::string out_;
    std::vector<Level> levels_;
};

// The shortest decimal text that reads back as exactly `value`; integral
// values have no fraction ("90", "0.3499999940395355"); -0 is written "0".
// `value` must be finite.
std::string formatJsonNumber(double value);

namespace json_detail {
template <class T>
inline constexpr bool isVector = false;
template <class T>
inline constexpr bool isVector<std::vector<T>> = true;
template <class T>
inline constexpr bool isOptional = false;
template <class T>
inline constexpr bool isOptional<std::optional<T>> = true;
} // namespace json_detail

template <class T>
T JsonObjectReader::read(const char* key) const
{
    if constexpr (std::is_same_v<T, std::string>) {
        return text(key);
    } else if constexpr (std::is_same_v<T, double>) {
        return number(key);
    } else if constexpr (std::is_same_v<T, std::int64_t>) {
        return integer(key);
    } else if constexpr (std::is_same_v<T, bool>) {
        return boolean(key);
    } else if constexpr (std::is_same_v<T, std::vector<std::string>>) {
        return texts(key);
    } else if constexpr (std::is_same_v<T, std::vector<double>>) {
        return numbers(key);
    } else if constexpr (json_detail::isOptional<T>) {
        return has(key) ? T(read<typename T::value_type>(key)) : std::nullopt;
    } else if constexpr (json_detail::isVector<T>) {
        T result;
        objects(key, [&](const JsonObjectReader& element) { result.push_back(T::value_type::decode(element)); });
        return result;
    } else {
        return T::decode(object(key));
    }
}

template <class T>
JsonWriter& JsonWriter::value(const T& value)
{
    if constexpr (std::is_same_v<T, std::string>) {
        return text(value);
    } else if constexpr (std::is_same_v<T, double>) {
        return number(value);
    } else if constexpr (std::is_same_v<T, std::int64_t>) {
        return integer(value);
    } else if constexpr (std::is_same_v<T, bool>) {
        return boolean(value);
    } else if constexpr (json_detail::isVector<T>) {
        beginArray();
        for (const auto& element : value) this->value(element);
        return endArray();
    } else {
        value.encode(*this);
        return *this;
    }
}

// ---- Field tables
// A model type lists its JSON keys once, in writing order:
//   constexpr auto fields = std::tuple{jsonField("start", &Clip::start), ...};
// writeJsonObject writes every key in that order, except that an absent
// std::optional writes no key (never null); readJsonObject reads them in the
// same order, so the first missing key is the one reported.

template <class Owner, class Value>
struct JsonField {
    const char* key;
    Value Owner::*member;
};

template <class Owner, class Value>
constexpr JsonField<Owner, Value> jsonField(const char* key, Value Owner::*member)
{
    return {key, member};
}

template <class Owner, class... Values>
void writeJsonObject(JsonWriter& writer, const Owner& owner, const std::tuple<JsonField<Owner, Values>...>& fields)
{
    writer.beginObject();
    const auto writeField = [&](const auto& field) {
        const auto& value = owner.*field.member;
        if constexpr (json_detail::isOptional<std::decay_t<decltype(value)>>) {
            if (value) writer.key(field.key).value(*value);
        } else {
            writer.key(field.key).value(value);
        }
    };
    std::apply([&](const auto&... field) { (writeField(field), ...); }, fields);
    writer.endObject();
}

template <class Owner, class... Values>
Owner readJsonObject(const JsonObjectReader& reader, const std::tuple<JsonField<Owner, Values>...>& fields)
{
    Owner owner;
    std::apply([&](const auto&... field) { ((owner.*field.member = reader.read<Values>(field.key)), ...); }, fields);
    return owner;
}

// Whole-value helpers for any model type T with
//   void encode(JsonWriter&) const;  static T decode(const JsonObjectReader&);
template <class T>
std::string encodeJson(const T& value)
{
    JsonWriter writer;
    value.encode(writer);
    return writer.take();
}

template <class T>
T decodeJson(std::string_view text)
{
    JsonDocument document = JsonDocument::parse(text);
    return T::decode(JsonObjectReader(document.root(), ""));
}

} // namespace zanto
