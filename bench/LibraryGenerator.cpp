#include "LibraryGenerator.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <QDir>
#include <QString>

#include <cstdio>
#include <vector>

namespace library {

namespace {

const unsigned kFrames = 4410;  // a tenth of a second: the scan never decodes audio

std::string folderOf(const std::string &root, int n)
{
    return root + "/Artist " + std::to_string(n / kFilesPerFolder % 10) + "/Album " + std::to_string(n / kFilesPerFolder);
}

}  // namespace

bool writeTaggedFlac(const std::string &path, const std::vector<std::string> &comments, int n, const std::string &cover)
{
    FLAC__StreamMetadata *blocks[] = {FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT), nullptr};
    for (const std::string &c : comments) {
        FLAC__StreamMetadata_VorbisComment_Entry entry;
        entry.length = FLAC__uint32(c.size());
        entry.entry = reinterpret_cast<FLAC__byte *>(const_cast<char *>(c.data()));
        FLAC__metadata_object_vorbiscomment_append_comment(blocks[0], entry, true);
    }
    const unsigned count = cover.empty() ? 1 : 2;
    if (!cover.empty()) {
        FLAC__StreamMetadata *pic = blocks[1] = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PICTURE);
        pic->data.picture.type = FLAC__STREAM_METADATA_PICTURE_TYPE_FRONT_COVER;
        FLAC__metadata_object_picture_set_mime_type(pic, const_cast<char *>("image/jpeg"), true);
        FLAC__metadata_object_picture_set_data(
            pic, reinterpret_cast<FLAC__byte *>(const_cast<char *>(cover.data())), FLAC__uint32(cover.size()), true);
    }
    FLAC__StreamEncoder *enc = FLAC__stream_encoder_new();
    FLAC__stream_encoder_set_channels(enc, 2);
    FLAC__stream_encoder_set_bits_per_sample(enc, 16);
    FLAC__stream_encoder_set_sample_rate(enc, 44100);
    FLAC__stream_encoder_set_compression_level(enc, 0);
    FLAC__stream_encoder_set_metadata(enc, blocks, count);
    bool ok = FLAC__stream_encoder_init_file(enc, path.c_str(), nullptr, nullptr) == FLAC__STREAM_ENCODER_INIT_STATUS_OK;
    std::vector<FLAC__int32> samples(kFrames * 2);
    for (size_t i = 0; i < samples.size(); i++)
        samples[i] = FLAC__int32((i * 7919 + unsigned(n)) % 20000) - 10000;
    ok = ok && FLAC__stream_encoder_process_interleaved(enc, samples.data(), kFrames);
    ok = FLAC__stream_encoder_finish(enc) && ok;
    FLAC__stream_encoder_delete(enc);
    for (unsigned i = 0; i < count; i++)
        FLAC__metadata_object_delete(blocks[i]);
    return ok;
}

bool writeFlac(const std::string &path, const std::string &title, int n)
{
    return writeTaggedFlac(path,
                           {"TITLE=" + title, "ARTIST=Artist " + std::to_string(n % 37),
                            "ALBUM=Album " + std::to_string(n / kFilesPerFolder),
                            "TRACKNUMBER=" + std::to_string(n % kFilesPerFolder + 1)},
                           n);
}

bool writeText(const std::string &path, const std::string &text)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    return fclose(f) == 0 && ok;
}

std::string cueSheet(const std::string &file)
{
    std::string sheet = "PERFORMER \"Band\"\nTITLE \"Live\"\nFILE \"" + file + "\" WAVE\n";
    for (int t = 0; t < kCueTracks; t++) {
        char lines[128];
        snprintf(lines, sizeof lines, "  TRACK %02d AUDIO\n    TITLE \"Part %d\"\n    INDEX 01 00:00:%02d\n", t + 1, t + 1, t * 5);
        sheet += lines;
    }
    return sheet;
}

std::string fileOf(const std::string &root, int n)
{
    return folderOf(root, n) + "/" + std::to_string(n % kFilesPerFolder + 1) + " Song.flac";
}

bool write(const std::string &root, int files)
{
    std::string cover(20000, '\0');
    for (size_t i = 0; i < cover.size(); i++)
        cover[i] = char(i * 131 + 7);
    for (int n = 0; n < files; n++) {
        if (n % kFilesPerFolder == 0) {
            std::string folder = folderOf(root, n);
            if (!QDir().mkpath(QString::fromStdString(folder)) ||
                !writeText(folder + "/Album " + std::to_string(n / kFilesPerFolder) + ".jpg", cover))
                return false;
        }
        if (!writeFlac(fileOf(root, n), "Song " + std::to_string(n), n))
            return false;
        if (n % 10 == 5) {
            std::string flac = fileOf(root, n);
            if (!writeText(flac.substr(0, flac.size() - 5) + ".cue", cueSheet(flac)))
                return false;
        }
    }
    return true;
}

}  // namespace library
