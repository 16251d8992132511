// sonavel-tool's JSON: values made with Qt's JSON classes, printed by QJsonDocument.
#pragma once

#include <QJsonValue>

#include <cstddef>

// Raw bytes: a string when they are valid UTF-8, else {"hex": "<lower-case hex>"}; null for a
// null pointer.
QJsonValue jsonBytes(const char *bytes, size_t length);
QJsonValue jsonText(const char *text);  // NUL-terminated bytes, same form
// A number; null when it is not finite.
QJsonValue jsonNumber(double value);
// A 32-bit float as the shortest decimal that reads back to it (0.1f prints as 0.1).
QJsonValue jsonFloat(float value);
// Prints an object or array, indented, and a line feed on standard output.
void printJson(const QJsonValue &value);
