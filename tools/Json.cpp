#include "tools/Json.h"

#include "metadata/CharacterEncoding.h"

#include <cstdio>
#include <cstring>

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
    if (CharacterEncoding::isValidUtf8(bytes, length))
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
