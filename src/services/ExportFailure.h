#pragma once
#include <exception>
#include <string>

namespace zanto {

// The one user-facing error of export, playlist, drawing and compositing
// code. `message` is a finished text that callers show unchanged; what()
// returns it as is, so code that only sees a std::exception shows the same.
struct ExportFailure : std::exception {
    std::string message;

    explicit ExportFailure(std::string text) : message(std::move(text)) { }
    const char* what() const noexcept override { return message.c_str(); }
    bool operator==(const ExportFailure& other) const { return message == other.message; }
};

// Wraps a finished message; the caller throws the result. Cannot fail.
ExportFailure failure(std::string message);

} // namespace zanto
