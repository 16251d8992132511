#include "engine/RiffParser.h"

#include <cstdlib>

#include "engine/SVFile.h"

namespace {

uint32_t riff_size(const unsigned char *b, uint32_t endian)
{
    if (endian == RiffBigEndian)
        return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    return uint32_t(b[3]) << 24 | uint32_t(b[2]) << 16 | uint32_t(b[1]) << 8 | b[0];
}

}  // namespace

bool RiffInit(RiffParser *parser, FILE *fp, uint32_t endian)
{
    *parser = RiffParser{};
    parser->endian = endian;
    parser->fp = fp;
    rewind(fp);
    unsigned char head[12];
    if (fread(head, 1, sizeof head, fp) != sizeof head) {
        parser->error = 1;
        SV_FAILED("0");
        return false;
    }
    memcpy(parser->hdr.id, head, 4);
    parser->hdr.size = riff_size(head + 4, endian);
    memcpy(parser->type_id, head + 8, 4);
    parser->next_pos = sizeof head;
    return true;
}

bool RiffNextChunk(RiffParser *parser, RiffChunkHeader *hdr)
{
    if (fseek(parser->fp, long(parser->next_pos), SEEK_SET) != 0) {
        SV_FAILED("0 == fseek(parser->fp, parser->next_pos, SEEK_SET)");
        return false;
    }
    unsigned char raw[8];
    if (fread(raw, 1, sizeof raw, parser->fp) != sizeof raw) {
        parser->error = 2;
        if (!feof(parser->fp))
            SV_FAILED("0");
        return false;
    }
    memcpy(hdr->id, raw, 4);
    hdr->size = riff_size(raw + 4, parser->endian);
    parser->chunk_pos = int64_t(parser->next_pos) + 8;
    // Chunks are padded to an even length; 64-bit arithmetic keeps the walk moving forward.
    parser->next_pos = (uint64_t(parser->chunk_pos) + hdr->size + 1) & ~uint64_t(1);
    return true;
}

size_t RiffGetChunkData(RiffParser *parser, void *buffer, size_t n)
{
    if (fseek(parser->fp, long(parser->chunk_pos), SEEK_SET) != 0)
        return 0;
    return fread(buffer, 1, n, parser->fp);
}

void RiffParseID3Chunk(RiffParser *parser, const RiffChunkHeader *hdr, SVTag *tag)
{
    // A tag is small; a larger size is a damaged chunk, not a reason to allocate.
    if (hdr->size == 0 || hdr->size > 0xFFFFF)
        return;
    auto *bytes = static_cast<unsigned char *>(malloc(hdr->size));
    if (!bytes)
        return;
    if (RiffGetChunkData(parser, bytes, hdr->size) == hdr->size)
        SVTagParseID3v2(tag, bytes, hdr->size);
    free(bytes);
}
