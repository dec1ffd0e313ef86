#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
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
    // A nested model value, or an array of them (T has a static decode()).
    template <class T>
    T decoded(const char* key) const
    {
        return T::decode(object(key));
    }
    template <class T>
    std::vector<T> decodedList(const char* key) const
    {
        std::vector<T> result;
        objects(key, [&](const JsonObjectReader& element) { result.push_back(T::decode(element)); });
        return result;
    }

    // Optional keys: a missing key or null gives nothing; a present value must
    // have the right type.
    bool has(const char* key) const;
    std::optional<double> optionalNumber(const char* key) const;
    std::optional<std::vector<std::string>> optionalTexts(const char* key) const;

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
    // A nested model value, or an array of them (T has encode(JsonWriter&)).
    template <class T>
    JsonWriter& encoded(const T& value)
    {
        value.encode(*this);
        return *this;
    }
    template <class T>
    JsonWriter& encodedList(const std::vector<T>& values)
    {
        beginArray();
        for (const T& value : values)
            value.encode(*this);
        return endArray();
    }

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
    std::string pendingKey_;
};

// The shortest decimal text that reads back as exactly `value`; integral
// values have no fraction ("90", "0.3499999940395355"); -0 is written "0".
// `value` must be finite.
std::string formatJsonNumber(double value);

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
