// Audio files made in code for item and player tests: PCM with a recognisable pattern, WAV
// with an ID3 chunk, FLAC through libFLAC's encoder with Vorbis comments and a picture.
#pragma once

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <QBuffer>
#include <QImage>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"

struct Pcm {
    uint32_t rate = 44100;
    uint32_t channels = 2;
    uint32_t bits = 16;
    std::string bytes;  // interleaved, little-endian, signed
    uint32_t frameBytes() const { return channels * bits / 8; }
    uint32_t frames() const { return uint32_t(bytes.size() / frameBytes()); }
};

// Pseudo-random samples, so a dropped, doubled or shifted block cannot go unnoticed.
inline Pcm makePcm(uint32_t rate, uint32_t channels, uint32_t bits, uint32_t frames,
                   uint32_t seed = 1)
{
    Pcm pcm;
    pcm.rate = rate;
    pcm.channels = channels;
    pcm.bits = bits;
    uint32_t x = seed * 2654435761u + 1;
    uint32_t bytesPerSample = bits / 8;
    pcm.bytes.resize(size_t(frames) * channels * bytesPerSample);
    for (size_t i = 0; i < pcm.bytes.size(); i += bytesPerSample) {
        x = x * 1664525u + 1013904223u;
        int32_t sample = int32_t(x) >> (32 - bits) >> 2;  // keep headroom
        for (uint32_t b = 0; b < bytesPerSample; b++)
            pcm.bytes[i + b] = char((uint32_t(sample) >> (8 * b)) & 0xFF);
    }
    return pcm;
}

inline std::string le32(uint32_t v)
{
    return {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}
inline std::string le16(uint32_t v) { return {char(v & 0xFF), char((v >> 8) & 0xFF)}; }
inline std::string be32(uint32_t v)
{
    return {char(v >> 24), char((v >> 16) & 0xFF), char((v >> 8) & 0xFF), char(v & 0xFF)};
}

// An ID3v2.3 tag of Latin-1 text frames ("TIT2", "TALB", ...) and an optional front cover.
inline std::string id3v23(const std::vector<std::pair<std::string, std::string>> &frames,
                          const std::string &picture = "")
{
    std::string body;
    for (const auto &[id, text] : frames) {
        std::string data = std::string(1, '\0') + text;
        body += id + be32(uint32_t(data.size())) + std::string(2, '\0') + data;
    }
    if (!picture.empty()) {
        // A front cover needs a description: an empty one yields no picture.
        std::string data = std::string(1, '\0') + "image/png" + std::string(1, '\0') + "\x03" +
                           "Cover" + std::string(1, '\0') + picture;
        body += "APIC" + be32(uint32_t(data.size())) + std::string(2, '\0') + data;
    }
    uint32_t n = uint32_t(body.size());
    std::string size = {char((n >> 21) & 0x7F), char((n >> 14) & 0x7F), char((n >> 7) & 0x7F),
                        char(n & 0x7F)};
    return std::string("ID3\x03", 4) + std::string(2, '\0') + size + body;
}

inline std::string wavBytes(const Pcm &pcm, const std::string &id3 = "")
{
    std::string fmt = le16(1) + le16(pcm.channels) + le32(pcm.rate) +
                      le32(pcm.rate * pcm.frameBytes()) + le16(pcm.frameBytes()) + le16(pcm.bits);
    std::string body = "WAVE" + std::string("fmt ") + le32(16) + fmt + "data" +
                       le32(uint32_t(pcm.bytes.size())) + pcm.bytes;
    if (pcm.bytes.size() % 2)
        body += '\0';
    if (!id3.empty()) {
        body += "ID3 " + le32(uint32_t(id3.size())) + id3;
        if (id3.size() % 2)
            body += '\0';
    }
    return "RIFF" + le32(uint32_t(body.size())) + body;
}

inline void writeWav(const std::string &path, const Pcm &pcm, const std::string &id3 = "")
{
    writeFile(path, wavBytes(pcm, id3));
}

// Comments are "NAME=value" byte strings, stored as given: libFLAC refuses values that are
// not UTF-8, so those go in as a same-sized placeholder patched in the file afterwards.
inline bool writeFlac(const std::string &path, const Pcm &pcm,
                      const std::vector<std::string> &comments = {},
                      const std::string &picture = "")
{
    std::vector<FLAC__StreamMetadata *> blocks;
    std::vector<std::pair<std::string, std::string>> patches;  // placeholder, real bytes
    if (!comments.empty()) {
        FLAC__StreamMetadata *vc = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
        for (const std::string &c : comments) {
            std::string stored = c;
            if (!QByteArrayView(c.data(), qsizetype(c.size())).isValidUtf8()) {
                size_t eq = c.find('=') + 1;
                stored = c.substr(0, eq) + std::string(c.size() - eq, '#');
                patches.emplace_back(stored, c);
            }
            FLAC__StreamMetadata_VorbisComment_Entry entry;
            entry.length = FLAC__uint32(stored.size());
            entry.entry = reinterpret_cast<FLAC__byte *>(stored.data());
            if (!FLAC__metadata_object_vorbiscomment_append_comment(vc, entry, true))
                return false;
        }
        blocks.push_back(vc);
    }
    if (!picture.empty()) {
        FLAC__StreamMetadata *pic = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PICTURE);
        pic->data.picture.type = FLAC__STREAM_METADATA_PICTURE_TYPE_FRONT_COVER;
        FLAC__metadata_object_picture_set_mime_type(pic, const_cast<char *>("image/png"), true);
        FLAC__metadata_object_picture_set_data(
            pic, reinterpret_cast<FLAC__byte *>(const_cast<char *>(picture.data())),
            FLAC__uint32(picture.size()), true);
        blocks.push_back(pic);
    }
    FLAC__StreamEncoder *enc = FLAC__stream_encoder_new();
    FLAC__stream_encoder_set_channels(enc, pcm.channels);
    FLAC__stream_encoder_set_bits_per_sample(enc, pcm.bits);
    FLAC__stream_encoder_set_sample_rate(enc, pcm.rate);
    FLAC__stream_encoder_set_compression_level(enc, 0);
    if (!blocks.empty())
        FLAC__stream_encoder_set_metadata(enc, blocks.data(), unsigned(blocks.size()));
    bool ok = FLAC__stream_encoder_init_file(enc, path.c_str(), nullptr, nullptr) ==
              FLAC__STREAM_ENCODER_INIT_STATUS_OK;
    uint32_t bytesPerSample = pcm.bits / 8;
    std::vector<FLAC__int32> samples(pcm.bytes.size() / bytesPerSample);
    for (size_t i = 0; i < samples.size(); i++) {
        uint32_t v = 0;
        for (uint32_t b = 0; b < bytesPerSample; b++)
            v |= uint32_t(uint8_t(pcm.bytes[i * bytesPerSample + b])) << (8 * b);
        samples[i] = int32_t(v << (32 - pcm.bits)) >> (32 - pcm.bits);
    }
    ok = ok && FLAC__stream_encoder_process_interleaved(enc, samples.data(), pcm.frames());
    ok = FLAC__stream_encoder_finish(enc) && ok;
    FLAC__stream_encoder_delete(enc);
    for (FLAC__StreamMetadata *b : blocks)
        FLAC__metadata_object_delete(b);
    if (ok && !patches.empty()) {
        std::string bytes = readFile(path);
        for (const auto &[placeholder, real] : patches) {
            size_t at = bytes.find(placeholder);
            if (at == std::string::npos)
                return false;
            bytes.replace(at, real.size(), real);
        }
        writeFile(path, bytes);
    }
    return ok;
}

// An image of a given size, as the bytes of a file in `format` ("PNG", "JPG", ...).
inline std::string imageBytes(int width, int height, const char *format)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(0xFF3366CC);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
}
