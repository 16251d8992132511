#include "metadata/CharacterEncoding.h"

#include <QStringDecoder>

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/Localization.h"
#include "platform/Preferences.h"

namespace CharacterEncoding {

namespace {

const char kPreferenceKey[] = "PreferedEnc";

// The platform's string-encoding identifiers (the persisted numbers) and the glibc iconv
// names that stand in for the Mac character sets. CP932 and CP949 are the supersets that real
// Shift JIS and Korean files use; GBK reads every EUC-CN (GB 2312) text the same way and
// the GBK extensions that Windows writes as well.
struct Encoding {
    int32_t identifier;
    const char *displayName;  // English, the localisation key
    const char *iconvName;
};

// In the order of the chooser's rows and of setPreferedEncoding's comparisons.
const Encoding kEncodings[] = {
    {0, SV_TEXT("Western"), "MACINTOSH"},
    {25, SV_TEXT("Chinese Simplified"), "GBK"},
    {2, SV_TEXT("Chinese Traditional"), "BIG5"},
    {1, SV_TEXT("Japanese"), "CP932"},
    {3, SV_TEXT("Korean"), "CP949"},
};

// Slot 0 is the preferred encoding, written on every decode (into a per-call copy).
const int32_t kFallbackOrder[6] = {0, 0, 25, 2, 1, 3};

const Encoding *findEncoding(int32_t identifier)
{
    for (const Encoding &e : kEncodings) {
        if (e.identifier == identifier)
            return &e;
    }
    return nullptr;
}

// The whole byte string in `iconvName`, or false when iconv cannot open the converter or
// the bytes are not valid in that encoding (an incomplete last sequence included).
bool convert(const char *iconvName, const char *bytes, size_t length, QString *out)
{
    iconv_t cd = iconv_open("UTF-8", iconvName);
    if (cd == iconv_t(-1))
        return false;
    std::string utf8;
    char buffer[1024];
    char *in = const_cast<char *>(bytes);
    size_t inLeft = length;
    bool ok = true;
    while (inLeft > 0) {
        char *o = buffer;
        size_t outLeft = sizeof buffer;
        size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
        utf8.append(buffer, size_t(o - buffer));
        if (r == size_t(-1) && errno != E2BIG) {
            ok = false;  // EILSEQ or EINVAL: not this encoding
            break;
        }
    }
    if (ok) {
        // Flush any shift state (none of these encodings has one, but iconv allows it).
        char *o = buffer;
        size_t outLeft = sizeof buffer;
        if (iconv(cd, nullptr, nullptr, &o, &outLeft) == size_t(-1))
            ok = false;
        utf8.append(buffer, size_t(o - buffer));
    }
    iconv_close(cd);
    if (ok)
        *out = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    return ok;
}

}  // namespace

QStringList getAvailableEncodings()
{
    QStringList names;
    for (const Encoding &e : kEncodings)
        names << SVLocalized(e.displayName);
    return names;
}

QString getEncodingDisplayName(unsigned identifier)
{
    if (identifier > unsigned(INT32_MAX))
        return QString("");
    const Encoding *e = findEncoding(int32_t(identifier));
    return e ? SVLocalized(e->displayName) : QString("");
}

void setPreferedEncoding(const QString &displayName)
{
    for (const Encoding &e : kEncodings) {
        if (displayName == SVLocalized(e.displayName)) {
            Preferences::setInteger(kPreferenceKey, e.identifier);
            return;
        }
    }
}

QString parseCString(const char *bytes)
{
    if (!bytes)
        return QString("");
    size_t length = strlen(bytes);

    // Strict UTF-8 first (overlong forms, encoded surrogates and truncated sequences are
    // errors); an initial byte-order mark is kept so valid bytes come back unchanged.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(QByteArrayView(bytes, qsizetype(length)));
    if (!utf8.hasError())
        return text.isNull() ? QString("") : text;

    // A per-call copy, so concurrent decodes (scan thread, main thread) never share slot 0.
    int32_t order[6];
    memcpy(order, kFallbackOrder, sizeof order);
    order[0] = int32_t(Preferences::integerForKey(kPreferenceKey));
    for (int i = 0; i < 6; i++) {
        if (i >= 1 && order[i] == order[0])
            continue;
        const Encoding *e = findEncoding(order[i]);
        QString decoded;
        if (!e || !convert(e->iconvName, bytes, length, &decoded))
            continue;  // an unknown identifier converts nothing
        if (!decoded.isEmpty())
            return decoded;
    }
    return QString("");
}

}  // namespace CharacterEncoding

bool CharacterEncoding::isValidUtf8(const char *bytes, size_t length)
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
