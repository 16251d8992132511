// Small JSON writers for sonavel-tool's output.
#pragma once

#include <cstddef>
#include <string>

// A JSON string literal of valid UTF-8 text.
std::string jsonQuote(const std::string &utf8);
// Raw bytes: a JSON string when they are valid UTF-8, else {"hex": "<lower-case hex>"};
// null for a null pointer.
std::string jsonBytes(const char *bytes, size_t length);
std::string jsonText(const char *text);  // NUL-terminated bytes, same form
