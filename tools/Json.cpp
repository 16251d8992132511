#include "tools/Json.h"

#include <cstdio>
#include <cstring>

bool isValidUtf8(const char *bytes, size_t length)
{
    const auto *s = reinterpret_cast<const unsigned char *>(bytes);
    size_t i = 0;
    while (i < length) {
        unsigned c = s[i];
        size_t n;
        unsigned min;
        if (c < 0x80) { i++; continue; }
        if ((c & 0xE0) == 0xC0) { n = 1; min = 0x80; c &= 0x1F; }
        else if ((c & 0xF0) == 0xE0) { n = 2; min = 0x800; c &= 0x0F; }
        else if ((c & 0xF8) == 0xF0) { n = 3; min = 0x10000; c &= 0x07; }
        else return false;
        if (i + n >= length) return false;  // truncated sequence
        for (size_t k = 1; k <= n; k++) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            c = (c << 6) | (s[i + k] & 0x3F);
        }
        if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        i += n + 1;
    }
    return true;
}

std::string jsonQuote(const std::string &utf8)
{
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += char(c);
            }
        }
    }
    return out + "\"";
}

std::string jsonBytes(const char *bytes, size_t length)
{
    if (!bytes)
        return "null";
    if (isValidUtf8(bytes, length))
        return jsonQuote(std::string(bytes, length));
    std::string hex;
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < length; i++) {
        unsigned char c = bytes[i];
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return "{\"hex\": \"" + hex + "\"}";
}

std::string jsonText(const char *text)
{
    return text ? jsonBytes(text, strlen(text)) : "null";
}
