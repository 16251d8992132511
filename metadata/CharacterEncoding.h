// Turns legacy-encoded byte strings (cue sheets, playlists, lyrics, FTP command lines) into
// text: UTF-8 when valid, else the preferred encoding, else a fixed fallback order.
// Stateless; every operation is callable from any thread.
#pragma once

#include <cstddef>

#include <QString>
#include <QStringList>

namespace CharacterEncoding {

QStringList getAvailableEncodings();
QString getEncodingDisplayName(unsigned identifier);
void setPreferedEncoding(const QString &displayName);
QString parseCString(const char *bytes);  // never null; empty for null input
// Strict UTF-8: no overlong forms, surrogates or values past U+10FFFF, nothing cut short.
bool isValidUtf8(const char *bytes, size_t length);

}  // namespace CharacterEncoding
