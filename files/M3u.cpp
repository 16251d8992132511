#include "files/M3u.h"

#include <cstdlib>
#include <cstring>

namespace {

// Lines are taken in pieces of at most 999 bytes; a longer line goes on as a piece of its own.
const int kPieceSize = 1000;

bool appendEntry(M3uList *list, M3uEntry **tail, const char *text, size_t length)
{
    M3uEntry *entry = static_cast<M3uEntry *>(calloc(1, sizeof(M3uEntry)));
    char *copy = static_cast<char *>(malloc(length + 1));
    if (!entry || !copy) {
        free(entry);
        free(copy);
        return false;
    }
    memcpy(copy, text, length);
    copy[length] = '\0';
    entry->text = copy;
    if (*tail)
        (*tail)->next = entry;
    else
        list->head = entry;
    *tail = entry;
    list->count++;
    return true;
}

}  // namespace

M3uList *M3uReadStream(FILE *stream)
{
    M3uList *list = static_cast<M3uList *>(calloc(1, sizeof(M3uList)));
    if (!list)
        return nullptr;
    M3uEntry *tail = nullptr;
    char piece[kPieceSize];
    while (stream && fgets(piece, sizeof piece, stream)) {
        const char *start = piece;
        while (*start == ' ' || *start == '\t')
            start++;
        size_t length = strlen(start);
        while (length > 0 && (start[length - 1] == '\n' || start[length - 1] == '\r'))
            length--;
        if (length == 0 || *start == '#' || *start == ';')
            continue;
        if (!appendEntry(list, &tail, start, length)) {
            M3uFree(list);
            return nullptr;
        }
    }
    list->cursor = list->head;
    return list;
}

M3uList *M3uRead(const char *path)
{
    FILE *stream = path ? fopen(path, "rb") : nullptr;
    M3uList *list = M3uReadStream(stream);
    if (stream)
        fclose(stream);
    return list;
}

int32_t M3uCount(const M3uList *list)
{
    return list ? list->count : 0;
}

const char *M3uEntryAt(M3uList *list, int32_t n)
{
    if (!list || n < 0 || n >= list->count)
        return nullptr;
    if (n < list->cursor_index || !list->cursor) {
        list->cursor = list->head;
        list->cursor_index = 0;
    }
    while (list->cursor_index < n) {
        list->cursor = list->cursor->next;
        list->cursor_index++;
    }
    return list->cursor->text;
}

void M3uFree(M3uList *list)
{
    if (!list)
        return;
    for (M3uEntry *entry = list->head; entry;) {
        M3uEntry *next = entry->next;
        free(entry->text);
        free(entry);
        entry = next;
    }
    free(list);
}
