#include "tools/Json.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "metadata/CharacterEncoding.h"

QJsonValue jsonBytes(const char *bytes, size_t length)
{
    if (!bytes)
        return QJsonValue::Null;
    if (CharacterEncoding::isValidUtf8(bytes, length))
        return QString::fromUtf8(bytes, qsizetype(length));
    QByteArray hex = QByteArray(bytes, qsizetype(length)).toHex();
    return QJsonObject{{"hex", QString::fromLatin1(hex)}};
}

QJsonValue jsonText(const char *text)
{
    return text ? jsonBytes(text, strlen(text)) : QJsonValue::Null;
}

QJsonValue jsonNumber(double value)
{
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue::Null;
}

QJsonValue jsonFloat(float value)
{
    if (!std::isfinite(value))
        return QJsonValue::Null;
    // The float's own shortest form, read back as the double that prints the same way.
    char text[64];
    auto result = std::to_chars(text, text + sizeof text - 1, value);
    *result.ptr = '\0';
    return QJsonValue(strtod(text, nullptr));
}

void printJson(const QJsonValue &value)
{
    QJsonDocument document = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    QByteArray text = document.toJson(QJsonDocument::Indented);
    fwrite(text.constData(), 1, size_t(text.size()), stdout);
}
