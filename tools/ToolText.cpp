// sonavel-tool cue and text: what the cue-sheet parser and the text decoder make of input.
#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>

#include <cstdio>

#include "metadata/CharacterEncoding.h"
#include "metadata/CueSheet.h"
#include "tools/Json.h"
#include "tools/ToolCommands.h"

namespace {

QJsonObject cueJson(const CueSheet *sheet)
{
    QJsonArray tracks;
    for (int32_t k = 0; k < sheet->trackCount; k++) {
        const CueTrack &t = sheet->tracks[k];
        tracks.append(QJsonObject{{"start", jsonFloat(t.start)},
                                  {"duration", jsonFloat(t.duration)},
                                  {"title", jsonText(t.title)},
                                  {"performer", jsonText(t.performer)}});
    }
    return QJsonObject{{"trackCount", sheet->trackCount},
                       {"performer", jsonText(sheet->performer)},
                       {"title", jsonText(sheet->title)},
                       {"tracks", tracks}};
}

}  // namespace

// cue FILE: the sheet as JSON, texts as raw bytes (a string when valid UTF-8, else hex).
int toolCue(int argc, char **argv)
{
    if (argc != 1)
        return toolUsage("cue FILE");
    CueSheet *sheet = CueSheetLoad(argv[0]);
    if (!sheet) {
        fprintf(stderr, "sonavel-tool: cannot read cue sheet '%s'\n", argv[0]);
        return 1;
    }
    QJsonObject json = cueJson(sheet);
    CueSheetFree(sheet);
    printJson(json);
    return 0;
}

// text: standard input up to its first NUL, decoded with the stored PreferedEnc, written
// out as UTF-8 with nothing added.
int toolText(int argc, char **)
{
    if (argc != 0)
        return toolUsage("text  (bytes on standard input)");
    QByteArray bytes;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, stdin)) > 0)
        bytes.append(buffer, qsizetype(n));
    QByteArray utf8 = CharacterEncoding::parseCString(bytes.constData()).toUtf8();
    fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    return 0;
}
