#include "platform/AudioFileService.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/intreadwrite.h>
}

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

struct OpaqueAudioFileID {
    int fd = -1;
    AudioStreamBasicDescription format = {};
    struct Packet {
        int64_t pos;
        uint32_t size;
    };
    std::vector<Packet> packets;
    std::vector<int64_t> starts;  // decoded frame where packet k starts; one more at the end
    int64_t priming = 0;
    int64_t remainder = 0;
    int64_t validFrames = 0;
    uint32_t maxPacketSize = 0;
    std::vector<uint8_t> cookie;
    std::vector<uint8_t> id3;
    AudioFileInfoDictionary info;
};

namespace {

const struct {
    uint32_t formatID;
    AVCodecID codec;
} kCodecs[] = {
    {kAudioFormatMPEGLayer3, AV_CODEC_ID_MP3},
    {kAudioFormatMPEG4AAC, AV_CODEC_ID_AAC},
    {kAudioFormatAppleLossless, AV_CODEC_ID_ALAC},
};

// The container's metadata keys behind the info dictionary's.
const struct {
    const char *ours;
    const char *container;
} kInfoKeys[] = {
    {"artist", "artist"}, {"title", "title"},        {"album", "album"}, {"comments", "comment"},
    {"genre", "genre"},   {"track number", "track"}, {"year", "date"},
};

bool readAt(int fd, void *data, size_t size, int64_t pos)
{
    auto *p = static_cast<uint8_t *>(data);
    while (size > 0) {
        ssize_t n = pread(fd, p, size, pos);
        if (n <= 0)
            return false;
        p += n;
        pos += n;
        size -= size_t(n);
    }
    return true;
}

// The raw ID3v2 block at the start of the file (header, frames, footer), else the 128-byte
// ID3v1 block at its end.
std::vector<uint8_t> findId3(int fd, int64_t fileSize)
{
    uint8_t head[10];
    if (fileSize >= 10 && readAt(fd, head, 10, 0) && memcmp(head, "ID3", 3) == 0 && head[3] != 0xFF &&
        !((head[6] | head[7] | head[8] | head[9]) & 0x80)) {
        int64_t size = 10 + (int64_t(head[6]) << 21 | head[7] << 14 | head[8] << 7 | head[9]);
        if (head[5] & 0x10)
            size += 10;  // footer
        size = std::min(size, fileSize);
        std::vector<uint8_t> block(static_cast<size_t>(size));
        if (readAt(fd, block.data(), block.size(), 0))
            return block;
    }
    std::vector<uint8_t> block(128);
    if (fileSize >= 128 && readAt(fd, block.data(), 128, fileSize - 128) && memcmp(block.data(), "TAG", 3) == 0)
        return block;
    return {};
}

void collectInfo(AudioFileInfoDictionary &info, const AVDictionary *metadata)
{
    for (const auto &key : kInfoKeys) {
        const AVDictionaryEntry *e = av_dict_get(metadata, key.container, nullptr, 0);
        if (e && e->value && !info.values.count(key.ours))
            info.values[key.ours].string = e->value;
    }
}

// Indexes every packet of stream `index`: where it lies, and the priming and padding that the
// demuxer signals (skip side data, an edit list's negative start or short last packet).
OSStatus indexPackets(OpaqueAudioFileID *f, AVFormatContext *fc, int index, bool fixedFrames)
{
    const AVStream *st = fc->streams[index];
    const int rate = st->codecpar->sample_rate;
    const int64_t frameSize = st->codecpar->frame_size;
    AVPacket *pkt = av_packet_alloc();
    if (!pkt)
        return kAudioFileUnspecifiedError;
    int64_t frames = 0;
    int64_t firstPts = AV_NOPTS_VALUE;
    int64_t skipStart = 0;
    int64_t lastDuration = 0;
    int64_t lastFrames = 0;
    int64_t endDiscard = 0;
    bool skipSeen = false;
    OSStatus status = noErr;
    while (av_read_frame(fc, pkt) >= 0) {
        if (pkt->stream_index == index && pkt->size > 0) {
            if (pkt->pos < 0) {
                status = kAudioFileUnsupportedFileTypeError;
                av_packet_unref(pkt);
                break;
            }
            int64_t duration = av_rescale_q(pkt->duration, st->time_base, AVRational{1, rate});
            int64_t decoded = fixedFrames && frameSize > 0 ? frameSize : duration;
            if (decoded <= 0)
                decoded = frameSize > 0 ? frameSize : 0;
            if (firstPts == AV_NOPTS_VALUE && pkt->pts != AV_NOPTS_VALUE)
                firstPts = av_rescale_q(pkt->pts, st->time_base, AVRational{1, rate});
            size_t sideSize = 0;
            const uint8_t *side = av_packet_get_side_data(pkt, AV_PKT_DATA_SKIP_SAMPLES, &sideSize);
            endDiscard = 0;
            if (side && sideSize >= 10) {
                skipStart += AV_RL32(side);
                endDiscard = AV_RL32(side + 4);
                skipSeen = true;
            }
            f->packets.push_back({pkt->pos, uint32_t(pkt->size)});
            f->starts.push_back(frames);
            f->maxPacketSize = std::max(f->maxPacketSize, uint32_t(pkt->size));
            frames += decoded;
            lastDuration = duration;
            lastFrames = decoded;
        }
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    if (status != noErr)
        return status;
    if (f->packets.empty())
        return kAudioFileUnsupportedDataFormatError;
    f->starts.push_back(frames);
    f->priming = skipSeen ? skipStart : (firstPts != AV_NOPTS_VALUE && firstPts < 0 ? -firstPts : 0);
    int64_t shortLast = lastDuration > 0 && lastDuration < lastFrames ? lastFrames - lastDuration : 0;
    f->remainder = std::max(endDiscard, shortLast);
    f->priming = std::clamp<int64_t>(f->priming, 0, frames);
    f->remainder = std::clamp<int64_t>(f->remainder, 0, frames - f->priming);
    f->validFrames = frames - f->priming - f->remainder;
    return noErr;
}

OSStatus openFile(OpaqueAudioFileID *f, const char *path)
{
    f->fd = open(path, O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (f->fd < 0 || fstat(f->fd, &info) != 0 || !S_ISREG(info.st_mode))
        return kAudioFileUnspecifiedError;

    AVFormatContext *fc = nullptr;
    if (AudioFileServiceOpenInput(&fc, path, "mp3,mov,mp4,m4a,aac") < 0)
        return kAudioFileUnsupportedFileTypeError;
    OSStatus status = kAudioFileUnsupportedDataFormatError;
    int index = -1;
    if (avformat_find_stream_info(fc, nullptr) >= 0)
        index = av_find_best_stream(fc, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index >= 0) {
        const AVCodecParameters *par = fc->streams[index]->codecpar;
        uint32_t formatID = 0;
        for (const auto &c : kCodecs)
            if (c.codec == par->codec_id)
                formatID = c.formatID;
        if (formatID && par->sample_rate > 0 && par->ch_layout.nb_channels > 0) {
            // ALAC's last packet decodes to fewer frames; the lossy codecs' always to a whole one.
            const bool fixedFrames = par->codec_id != AV_CODEC_ID_ALAC;
            AudioStreamBasicDescription &d = f->format;
            d.mSampleRate = par->sample_rate;
            d.mFormatID = formatID;
            d.mFramesPerPacket = par->frame_size > 0 ? uint32_t(par->frame_size) : 0;
            d.mChannelsPerFrame = uint32_t(par->ch_layout.nb_channels);
            if (par->extradata && par->extradata_size > 0)
                f->cookie.assign(par->extradata, par->extradata + par->extradata_size);
            collectInfo(f->info, fc->metadata);
            collectInfo(f->info, fc->streams[index]->metadata);
            status = indexPackets(f, fc, index, fixedFrames);
        }
    }
    avformat_close_input(&fc);
    if (status != noErr)
        return status;
    double seconds = double(f->validFrames) / f->format.mSampleRate;
    f->info.values["approximate duration in seconds"].string = std::to_string(seconds);
    f->id3 = findId3(f->fd, int64_t(info.st_size));
    return noErr;
}

OSStatus putValue(uint32_t *ioSize, void *data, const void *value, uint32_t size)
{
    if (!ioSize || (!data && size > 0))
        return kAudioFileUnspecifiedError;
    if (*ioSize < size)
        return kAudioFileBadPropertySizeError;
    if (size > 0)
        memcpy(data, value, size);
    *ioSize = size;
    return noErr;
}

uint32_t propertySize(AudioFileID file, AudioFilePropertyID property)
{
    switch (property) {
    case kAudioFilePropertyDataFormat:
        return sizeof(AudioStreamBasicDescription);
    case kAudioFilePropertyPacketSizeUpperBound:
    case kAudioFilePropertyMaximumPacketSize:
        return sizeof(uint32_t);
    case kAudioFilePropertyEstimatedDuration:
        return sizeof(double);
    case kAudioFilePropertyID3Tag:
        return uint32_t(file->id3.size());
    case kAudioFilePropertyInfoDictionary:
        return sizeof(AudioFileInfoDictionary *);
    case kAudioFilePropertyFrameToPacket:
    case kAudioFilePropertyPacketToFrame:
        return sizeof(AudioFramePacketTranslation);
    case kAudioFilePropertyMagicCookieData:
        return uint32_t(file->cookie.size());
    case kAudioFilePropertyAudioDataPacketCount:
        return sizeof(uint64_t);
    case kAudioFilePropertyPacketTableInfo:
        return sizeof(AudioFilePacketTableInfo);
    }
    return 0;
}

}  // namespace

const AudioFileInfoValue *AudioFileInfoDictionaryGetValue(const AudioFileInfoDictionary *dictionary,
                                                          const char *key)
{
    if (!dictionary || !key)
        return nullptr;
    auto it = dictionary->values.find(key);
    return it == dictionary->values.end() ? nullptr : &it->second;
}

void AudioFileInfoDictionaryRelease(AudioFileInfoDictionary *dictionary) { delete dictionary; }

OSStatus AudioFileOpenPath(const char *path, AudioFileID *outFile)
{
    if (!path || !outFile)
        return kAudioFileUnspecifiedError;
    *outFile = nullptr;
    auto *f = new OpaqueAudioFileID;
    OSStatus status = openFile(f, path);
    if (status != noErr) {
        AudioFileClose(f);
        return status;
    }
    *outFile = f;
    return noErr;
}

OSStatus AudioFileClose(AudioFileID file)
{
    if (!file)
        return kAudioFileNotOpenError;
    if (file->fd >= 0)
        close(file->fd);
    delete file;
    return noErr;
}

OSStatus AudioFileGetPropertyInfo(AudioFileID file, AudioFilePropertyID property, uint32_t *outSize,
                                  uint32_t *isWritable)
{
    if (!file)
        return kAudioFileNotOpenError;
    uint32_t size = propertySize(file, property);
    if (size == 0 && property != kAudioFilePropertyID3Tag && property != kAudioFilePropertyMagicCookieData)
        return kAudioFileUnsupportedPropertyError;
    if (outSize)
        *outSize = size;
    if (isWritable)
        *isWritable = 0;
    return noErr;
}

OSStatus AudioFileGetProperty(AudioFileID file, AudioFilePropertyID property, uint32_t *ioSize, void *data)
{
    if (!file)
        return kAudioFileNotOpenError;
    switch (property) {
    case kAudioFilePropertyDataFormat:
        return putValue(ioSize, data, &file->format, sizeof file->format);
    case kAudioFilePropertyPacketSizeUpperBound:
    case kAudioFilePropertyMaximumPacketSize:
        return putValue(ioSize, data, &file->maxPacketSize, sizeof file->maxPacketSize);
    case kAudioFilePropertyEstimatedDuration: {
        double seconds = double(file->validFrames) / file->format.mSampleRate;
        return putValue(ioSize, data, &seconds, sizeof seconds);
    }
    case kAudioFilePropertyID3Tag:
        return putValue(ioSize, data, file->id3.data(), uint32_t(file->id3.size()));
    case kAudioFilePropertyMagicCookieData:
        return putValue(ioSize, data, file->cookie.data(), uint32_t(file->cookie.size()));
    case kAudioFilePropertyAudioDataPacketCount: {
        uint64_t count = file->packets.size();
        return putValue(ioSize, data, &count, sizeof count);
    }
    case kAudioFilePropertyPacketTableInfo: {
        AudioFilePacketTableInfo table = {file->validFrames, int32_t(std::min<int64_t>(file->priming, INT32_MAX)),
                                          int32_t(std::min<int64_t>(file->remainder, INT32_MAX))};
        return putValue(ioSize, data, &table, sizeof table);
    }
    case kAudioFilePropertyInfoDictionary: {
        if (!ioSize || !data)
            return kAudioFileUnspecifiedError;
        if (*ioSize < sizeof(AudioFileInfoDictionary *))
            return kAudioFileBadPropertySizeError;
        auto *copy = new AudioFileInfoDictionary(file->info);
        memcpy(data, &copy, sizeof copy);
        *ioSize = sizeof copy;
        return noErr;
    }
    case kAudioFilePropertyFrameToPacket:
    case kAudioFilePropertyPacketToFrame: {
        if (!ioSize || !data)
            return kAudioFileUnspecifiedError;
        if (*ioSize < sizeof(AudioFramePacketTranslation))
            return kAudioFileBadPropertySizeError;
        AudioFramePacketTranslation t;
        memcpy(&t, data, sizeof t);
        const int64_t total = file->starts.back();
        if (property == kAudioFilePropertyFrameToPacket) {
            // Frames beyond either end belong to the first or the last packet.
            int64_t s = std::max<int64_t>(0, std::min<int64_t>(t.mFrame + file->priming, total - 1));
            auto it = std::upper_bound(file->starts.begin(), file->starts.end() - 1, s);
            t.mPacket = int64_t(it - file->starts.begin()) - 1;
            t.mFrameOffsetInPacket = uint32_t(s - file->starts[size_t(t.mPacket)]);
        } else {
            if (t.mPacket < 0 || t.mPacket > int64_t(file->packets.size()))
                return kAudioFileInvalidPacketOffsetError;
            // Packets holding priming start before frame 0.
            t.mFrame = file->starts[size_t(t.mPacket)] - file->priming;
            t.mFrameOffsetInPacket = 0;
        }
        memcpy(data, &t, sizeof t);
        *ioSize = sizeof t;
        return noErr;
    }
    }
    return kAudioFileUnsupportedPropertyError;
}

OSStatus AudioFileReadPackets(AudioFileID file, bool, uint32_t *outNumBytes,
                              AudioStreamPacketDescription *descriptions, int64_t startPacket,
                              uint32_t *ioNumPackets, void *buffer)
{
    if (!file)
        return kAudioFileNotOpenError;
    if (!outNumBytes || !ioNumPackets || (!buffer && *ioNumPackets > 0))
        return kAudioFileUnspecifiedError;
    if (startPacket < 0)
        return kAudioFileInvalidPacketOffsetError;
    const int64_t count = int64_t(file->packets.size());
    const uint32_t want = *ioNumPackets;
    uint32_t got = 0;
    uint32_t bytes = 0;
    auto *out = static_cast<uint8_t *>(buffer);
    for (int64_t k = startPacket; got < want && k < count; k++, got++) {
        const OpaqueAudioFileID::Packet &p = file->packets[size_t(k)];
        if (!readAt(file->fd, out + bytes, p.size, p.pos)) {
            *ioNumPackets = got;
            *outNumBytes = bytes;
            return kAudioFileEndOfFileError;
        }
        if (descriptions) {
            uint32_t frames = uint32_t(file->starts[size_t(k) + 1] - file->starts[size_t(k)]);
            descriptions[got] = {int64_t(bytes), file->format.mFramesPerPacket ? 0 : frames, p.size};
        }
        bytes += p.size;
    }
    *ioNumPackets = got;
    *outNumBytes = bytes;
    return noErr;
}

int AudioFileServiceCodecFor(uint32_t formatID)
{
    for (const auto &c : kCodecs)
        if (c.formatID == formatID)
            return c.codec;
    return AV_CODEC_ID_NONE;
}

int AudioFileServiceOpenInput(AVFormatContext **context, const char *path, const char *formats)
{
    av_log_set_level(AV_LOG_QUIET);
    *context = avformat_alloc_context();
    if (!*context)
        return AVERROR(ENOMEM);
    (*context)->format_whitelist = av_strdup(formats);
    (*context)->protocol_whitelist = av_strdup("file");
    if (!(*context)->format_whitelist || !(*context)->protocol_whitelist) {
        avformat_free_context(*context);
        *context = nullptr;
        return AVERROR(ENOMEM);
    }
    // A name such as "http:x.mp3" or "concat:a|b" is a file name here, not a URL.
    std::string url = std::string("file:") + path;
    const AVInputFormat *forced = strchr(formats, ',') ? nullptr : av_find_input_format(formats);
    return avformat_open_input(context, url.c_str(), forced, nullptr);  // frees the context on failure
}
