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
#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

struct OpaqueAudioFileID {
    int fd = -1;
    std::string path;
    // An MP3 is described from its first frame without a demuxer. The demuxer is opened when
    // needed and stays open until the packet index is built: on the first property or read
    // that needs packets, so that building a library item reads none.
    AVFormatContext *fc = nullptr;
    int stream = -1;
    bool infoCollected = false;
    bool fixedFrames = true;         // every packet decodes to mFramesPerPacket frames
    bool indexed = false;
    OSStatus indexStatus = noErr;
    double seconds = 0;              // from the container or the first frame's header
    uint32_t packetSizeBound = 0;    // before the index: from the container or the format
    AudioStreamBasicDescription format = {};
    // A lossless stream the service decodes itself (WavPack): linear PCM whose packets are
    // frames, decoded from the demuxer that stays open.
    struct Pcm {
        AVCodecContext *codec = nullptr;
        AVPacket *packet = nullptr;
        AVFrame *frame = nullptr;
        int64_t frames = 0;              // in the stream
        int64_t next = 0;                // frame that pending[at] holds
        int64_t skipTo = -1;             // after a seek: the first frame wanted
        std::vector<uint8_t> pending;    // decoded, converted frames not handed out
        size_t at = 0;
        bool draining = false;
    };
    Pcm *pcm = nullptr;
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

// Packets demuxed by any file of the service; tests and benchmarks read it.
std::atomic<uint64_t> gPacketsRead{0};

// One MPEG audio frame header, as far as the item needs it.
struct MpegHeader {
    uint32_t layer;
    bool lsf;              // MPEG-2 or 2.5: half the samples per Layer III frame
    uint32_t rate;
    uint32_t channels;
    uint32_t kbps;         // 0: free format
    uint32_t samples;      // per frame
    uint32_t sideInfo;     // Layer III side information after the header
};

// Bit rates in kbit/s by [lsf][layer - 1][index].
const uint16_t kMpegKbps[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
};

bool parseMpegHeader(const uint8_t *p, MpegHeader *h)
{
    const unsigned version = (p[1] >> 3) & 3;  // 0: 2.5, 1: reserved, 2: MPEG-2, 3: MPEG-1
    const unsigned layerBits = (p[1] >> 1) & 3;
    const unsigned bitrate = p[2] >> 4;
    const unsigned rateIndex = (p[2] >> 2) & 3;
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0 || version == 1 || layerBits == 0 || bitrate == 15 || rateIndex == 3)
        return false;
    static const uint32_t kRates[] = {44100, 48000, 32000};
    h->layer = 4 - layerBits;
    h->lsf = version != 3;
    h->rate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    h->channels = (p[3] >> 6) == 3 ? 1 : 2;
    h->kbps = kMpegKbps[h->lsf][h->layer - 1][bitrate];
    h->samples = h->layer == 1 ? 384 : h->layer == 3 && h->lsf ? 576 : 1152;
    h->sideInfo = h->layer != 3 ? 0 : h->lsf ? (h->channels == 1 ? 9 : 17) : (h->channels == 1 ? 17 : 32);
    return true;
}

uint32_t readBE32(const uint8_t *p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

// The frames of an MP3 from its first frame: the count in a Xing/Info or VBRI header, less the
// encoder delay and padding of a LAME tag as libavformat cuts them when it demuxes (its decoder
// delay of 529 frames included); else the data's length at the header's constant bit rate.
// -1 when neither tells.
int64_t mp3Frames(const uint8_t *p, size_t n, const MpegHeader &h, int64_t dataBytes)
{
    const size_t xing = 4 + h.sideInfo;
    if (n >= xing + 8 && (memcmp(p + xing, "Xing", 4) == 0 || memcmp(p + xing, "Info", 4) == 0)) {
        const uint32_t flags = readBE32(p + xing + 4);
        size_t at = xing + 8;
        int64_t frames = -1;
        if ((flags & 1) && n >= at + 4)
            frames = readBE32(p + at);
        at += (flags & 1 ? 4 : 0) + (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) + (flags & 8 ? 4 : 0);
        if (frames <= 0)
            return -1;
        int64_t total = frames * h.samples;
        if (n >= at + 24 && (memcmp(p + at, "LAME", 4) == 0 || memcmp(p + at, "Lavf", 4) == 0 ||
                             memcmp(p + at, "Lavc", 4) == 0)) {
            const uint32_t delays = uint32_t(p[at + 21]) << 16 | p[at + 22] << 8 | p[at + 23];
            const int64_t start = (delays >> 12) + 529;
            const int64_t end = std::max<int64_t>(0, int64_t(delays & 4095) - 529);
            total = std::max<int64_t>(0, total - start - end);
        }
        return total;
    }
    if (n >= 36 + 18 && memcmp(p + 36, "VBRI", 4) == 0) {
        const int64_t frames = readBE32(p + 36 + 14);
        return frames > 0 ? frames * h.samples : -1;
    }
    if (h.kbps == 0 || dataBytes <= 0)
        return -1;
    // A frame is samples / 8 * bit rate / rate bytes on average (padding fills the fraction).
    const double frameBytes = h.samples / 8.0 * h.kbps * 1000.0 / h.rate;
    return std::llround(double(dataBytes) / frameBytes) * h.samples;
}

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

// Indexes every packet of stream `index`, reading every packet of the file: where it lies, and
// the priming and padding that the demuxer signals (skip side data, an edit list's negative
// start or short last packet).
OSStatus indexPackets(OpaqueAudioFileID *f, AVFormatContext *fc, int index, bool fixedFrames)
{
    const AVStream *st = fc->streams[index];
    const int rate = int(f->format.mSampleRate);
    const int64_t frameSize = f->format.mFramesPerPacket;
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
        gPacketsRead++;
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

uint32_t formatOf(AVCodecID codec)
{
    for (const auto &c : kCodecs)
        if (c.codec == codec)
            return c.formatID;
    return 0;
}

// An MP3's format and length from its first frame, which follows the ID3v2 tag, and is
// followed by a second frame of the same kind (so that another format's bytes are not taken
// for one). Free-format streams and files without such a start are left to the demuxer.
bool describeMp3(OpaqueAudioFileID *f, int64_t fileSize)
{
    // Right after the tag, where libavformat looks for the Xing header too: its packets then
    // agree with the length found here.
    const int64_t first = !f->id3.empty() && f->id3[0] == 'I' ? int64_t(f->id3.size()) : 0;
    uint8_t head[4096];
    const size_t n = size_t(std::clamp<int64_t>(fileSize - first, 0, int64_t(sizeof head)));
    MpegHeader h, next;
    if (n < 4 || !readAt(f->fd, head, n, first) || !parseMpegHeader(head, &h) || h.layer != 3 || h.kbps == 0)
        return false;
    const size_t length = h.samples / 8 * h.kbps * 1000 / h.rate + ((head[2] >> 1) & 1);
    if (length + 4 > n || !parseMpegHeader(head + length, &next) || next.layer != 3 || next.lsf != h.lsf ||
        next.rate != h.rate)
        return false;
    const bool id3v1 = f->id3.size() == 128 && f->id3[0] == 'T';
    const int64_t frames = mp3Frames(head, n, h, fileSize - first - (id3v1 ? 128 : 0));
    if (frames < 0)
        return false;
    AudioStreamBasicDescription &d = f->format;
    d.mSampleRate = h.rate;
    d.mFormatID = kAudioFormatMPEGLayer3;
    d.mFramesPerPacket = h.samples;
    d.mChannelsPerFrame = h.channels;
    f->seconds = double(frames) / h.rate;
    // The largest frame of this version, layer and rate: the top bit rate, padded.
    f->packetSizeBound = uint32_t(h.samples / 8 * kMpegKbps[h.lsf][2][14] * 1000 / h.rate + 1);
    return true;
}

// An MP4's format and length from its sample tables, which the demuxer read while opening.
bool describeMp4(OpaqueAudioFileID *f, AVFormatContext *fc, int index)
{
    AVStream *st = fc->streams[index];
    const AVCodecParameters *par = st->codecpar;
    const int entries = avformat_index_get_entries_count(st);
    const uint32_t formatID = formatOf(par->codec_id);
    if (!formatID || par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0 || st->duration <= 0 ||
        st->duration == AV_NOPTS_VALUE || entries < 2)
        return false;
    uint32_t largest = 0;
    for (int k = 0; k < entries; k++)
        largest = std::max<uint32_t>(largest, uint32_t(std::max(0, avformat_index_get_entry(st, k)->size)));
    const AVRational perFrame = {1, par->sample_rate};
    AudioStreamBasicDescription &d = f->format;
    d.mSampleRate = par->sample_rate;
    d.mFormatID = formatID;
    // AAC packets all decode to the length of the first; ALAC's last one is shorter.
    d.mFramesPerPacket = par->codec_id == AV_CODEC_ID_ALAC
                             ? 0
                             : uint32_t(av_rescale_q(avformat_index_get_entry(st, 1)->timestamp -
                                                         avformat_index_get_entry(st, 0)->timestamp,
                                                     st->time_base, perFrame));
    d.mChannelsPerFrame = uint32_t(par->ch_layout.nb_channels);
    f->fixedFrames = par->codec_id != AV_CODEC_ID_ALAC;
    f->seconds = double(av_rescale_q(st->duration, st->time_base, perFrame)) / par->sample_rate;
    f->packetSizeBound = largest;
    return d.mFramesPerPacket > 0 || !f->fixedFrames;
}

// What the codec parameters say once libavformat has probed packets: for streams whose
// container or first frame does not tell (ADTS, free-format MP3).
bool describeProbed(OpaqueAudioFileID *f, AVFormatContext *fc, int index)
{
    if (avformat_find_stream_info(fc, nullptr) < 0)
        return false;
    const AVCodecParameters *par = fc->streams[index]->codecpar;
    const uint32_t formatID = formatOf(par->codec_id);
    if (!formatID || par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0)
        return false;
    AudioStreamBasicDescription &d = f->format;
    d.mSampleRate = par->sample_rate;
    d.mFormatID = formatID;
    d.mFramesPerPacket = par->frame_size > 0 ? uint32_t(par->frame_size) : 0;
    d.mChannelsPerFrame = uint32_t(par->ch_layout.nb_channels);
    // ALAC's last packet decodes to fewer frames; the lossy codecs' always to a whole one.
    f->fixedFrames = par->codec_id != AV_CODEC_ID_ALAC;
    return true;
}

// WavPack block flags: bytes per sample - 1 in the low two bits, floating-point samples.
constexpr uint32_t kWavPackFloat = 0x80;

// A WavPack stream, decoded here to the integer samples it stores: 8, 16, 24 (in 3 bytes) or
// 32 bits, signed, little-endian. Floating-point streams are refused.
bool describeWavPack(OpaqueAudioFileID *f, AVFormatContext *fc, int index)
{
    const AVStream *st = fc->streams[index];
    const AVCodecParameters *par = st->codecpar;
    const uint32_t bits = uint32_t(par->bits_per_coded_sample);
    uint8_t block[32];
    if (par->codec_id != AV_CODEC_ID_WAVPACK || par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0 ||
        (bits != 8 && bits != 16 && bits != 24 && bits != 32) || st->duration <= 0 || st->duration == AV_NOPTS_VALUE ||
        !readAt(f->fd, block, sizeof block, 0) || memcmp(block, "wvpk", 4) != 0 ||
        (block[24] & kWavPackFloat))
        return false;
    const AVCodec *decoder = avcodec_find_decoder(AV_CODEC_ID_WAVPACK);
    auto *pcm = new OpaqueAudioFileID::Pcm;
    f->pcm = pcm;
    pcm->codec = decoder ? avcodec_alloc_context3(decoder) : nullptr;
    pcm->packet = av_packet_alloc();
    pcm->frame = av_frame_alloc();
    if (!pcm->codec || !pcm->packet || !pcm->frame || avcodec_parameters_to_context(pcm->codec, par) < 0 ||
        avcodec_open2(pcm->codec, decoder, nullptr) < 0)
        return false;
    pcm->frames = av_rescale_q(st->duration, st->time_base, AVRational{1, par->sample_rate});
    AudioStreamBasicDescription &d = f->format;
    d.mSampleRate = par->sample_rate;
    d.mFormatID = kAudioFormatLinearPCM;
    d.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
    d.mChannelsPerFrame = uint32_t(par->ch_layout.nb_channels);
    d.mBitsPerChannel = bits;
    d.mBytesPerFrame = d.mBytesPerPacket = d.mChannelsPerFrame * bits / 8;
    d.mFramesPerPacket = 1;
    f->seconds = double(pcm->frames) / par->sample_rate;
    f->packetSizeBound = f->maxPacketSize = d.mBytesPerFrame;
    f->validFrames = pcm->frames;  // no priming, no padding
    return true;
}

void freePcm(OpaqueAudioFileID::Pcm *pcm)
{
    if (!pcm)
        return;
    av_frame_free(&pcm->frame);
    av_packet_free(&pcm->packet);
    avcodec_free_context(&pcm->codec);
    delete pcm;
}

// Appends a decoded frame as interleaved samples of the stream's width. The decoder hands its
// samples left-justified in 8, 16 or 32 bits; 8-bit ones unsigned.
bool appendPcm(OpaqueAudioFileID *f, const AVFrame *frame, int64_t skip)
{
    const AVSampleFormat format = AVSampleFormat(frame->format);
    const bool planar = av_sample_fmt_is_planar(format);
    const AVSampleFormat packed = av_get_packed_sample_fmt(format);
    if (packed != AV_SAMPLE_FMT_U8 && packed != AV_SAMPLE_FMT_S16 && packed != AV_SAMPLE_FMT_S32)
        return false;
    const int channels = int(f->format.mChannelsPerFrame);
    if (frame->ch_layout.nb_channels != channels)
        return false;
    const unsigned width = f->format.mBitsPerChannel / 8;
    std::vector<uint8_t> &pending = f->pcm->pending;
    const size_t from = pending.size();
    pending.resize(from + size_t(frame->nb_samples - skip) * size_t(channels) * width);
    uint8_t *out = pending.data() + from;
    for (int64_t k = skip; k < frame->nb_samples; k++) {
        for (int c = 0; c < channels; c++) {
            const uint8_t *plane = frame->extended_data[planar ? c : 0];
            const int64_t i = planar ? k : k * channels + c;
            uint32_t v = packed == AV_SAMPLE_FMT_U8    ? uint32_t(plane[i] ^ 0x80) << 24
                         : packed == AV_SAMPLE_FMT_S16 ? uint32_t(uint16_t(reinterpret_cast<const int16_t *>(plane)[i])) << 16
                                                       : uint32_t(reinterpret_cast<const int32_t *>(plane)[i]);
            for (unsigned b = 0; b < width; b++)
                *out++ = uint8_t(v >> (32 - 8 * width + 8 * b));
        }
    }
    return true;
}

// Decodes the next packet into pending: 1, 0 at the end, -1 on an error.
int decodePcm(OpaqueAudioFileID *f)
{
    OpaqueAudioFileID::Pcm *pcm = f->pcm;
    const AVStream *st = f->fc->streams[f->stream];
    for (;;) {
        int r = avcodec_receive_frame(pcm->codec, pcm->frame);
        if (r == 0) {
            // Where this block starts; a seek lands on the block before its target.
            int64_t skip = 0;
            if (pcm->skipTo >= 0) {
                const int64_t start = pcm->frame->pts == AV_NOPTS_VALUE
                                          ? pcm->skipTo
                                          : av_rescale_q(pcm->frame->pts, st->time_base,
                                                         AVRational{1, int(f->format.mSampleRate)});
                skip = std::clamp<int64_t>(pcm->skipTo - start, 0, pcm->frame->nb_samples);
                if (skip == pcm->frame->nb_samples) {
                    av_frame_unref(pcm->frame);
                    continue;
                }
                pcm->skipTo = -1;
            }
            pcm->pending.clear();
            pcm->at = 0;
            bool ok = appendPcm(f, pcm->frame, skip);
            av_frame_unref(pcm->frame);
            return ok ? 1 : -1;
        }
        if (r == AVERROR_EOF)
            return 0;
        if (r != AVERROR(EAGAIN))
            return -1;
        if (pcm->draining)
            return 0;
        r = av_read_frame(f->fc, pcm->packet);
        if (r == AVERROR_EOF) {
            pcm->draining = true;
            avcodec_send_packet(pcm->codec, nullptr);
            continue;
        }
        if (r < 0)
            return -1;
        gPacketsRead++;
        if (pcm->packet->stream_index == f->stream)
            r = avcodec_send_packet(pcm->codec, pcm->packet);
        av_packet_unref(pcm->packet);
        if (r < 0)
            return -1;
    }
}

// Up to `frames` decoded frames from frame `start` into `out`; the frames given.
int64_t readPcm(OpaqueAudioFileID *f, int64_t start, int64_t frames, uint8_t *out)
{
    OpaqueAudioFileID::Pcm *pcm = f->pcm;
    const size_t frameBytes = f->format.mBytesPerFrame;
    if (start >= pcm->frames)
        return 0;
    frames = std::min(frames, pcm->frames - start);
    if (start != pcm->next) {
        const AVStream *st = f->fc->streams[f->stream];
        const int64_t ts = av_rescale_q(start, AVRational{1, int(f->format.mSampleRate)}, st->time_base);
        if (av_seek_frame(f->fc, f->stream, ts, AVSEEK_FLAG_BACKWARD) < 0)
            return 0;
        avcodec_flush_buffers(pcm->codec);
        pcm->pending.clear();
        pcm->at = 0;
        pcm->draining = false;
        pcm->skipTo = start;
        pcm->next = start;
    }
    int64_t got = 0;
    while (got < frames) {
        if (pcm->at < pcm->pending.size()) {
            const int64_t held = int64_t((pcm->pending.size() - pcm->at) / frameBytes);
            const int64_t n = std::min(held, frames - got);
            memcpy(out + got * int64_t(frameBytes), pcm->pending.data() + pcm->at, size_t(n) * frameBytes);
            pcm->at += size_t(n) * frameBytes;
            got += n;
            continue;
        }
        if (decodePcm(f) <= 0)
            break;
    }
    pcm->next = start + got;
    return got;
}

// Opens the demuxer, as one of `formats`, at the first audio stream.
OSStatus openDemuxer(OpaqueAudioFileID *f, const char *formats)
{
    if (f->fc)
        return noErr;
    if (AudioFileServiceOpenInput(&f->fc, f->path.c_str(), formats) < 0)
        return kAudioFileUnsupportedFileTypeError;
    // The first audio stream: av_find_best_stream passes over those whose rate and channels
    // only packets would tell.
    f->stream = -1;
    for (unsigned k = 0; k < f->fc->nb_streams && f->stream < 0; k++)
        if (f->fc->streams[k]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            f->stream = int(k);
    return f->stream < 0 ? kAudioFileUnsupportedDataFormatError : noErr;
}

void collectAllInfo(OpaqueAudioFileID *f)
{
    if (f->infoCollected || !f->fc)
        return;
    f->infoCollected = true;
    collectInfo(f->info, f->fc->metadata);
    collectInfo(f->info, f->fc->streams[f->stream]->metadata);
    f->info.values["approximate duration in seconds"].string = std::to_string(f->seconds);
}

OSStatus buildIndex(OpaqueAudioFileID *f)
{
    if (f->indexed)
        return f->indexStatus;
    f->indexed = true;
    f->indexStatus = openDemuxer(f, "mp3");  // only an MP3 comes here without one
    collectAllInfo(f);
    if (f->indexStatus == noErr)
        f->indexStatus = indexPackets(f, f->fc, f->stream, f->fixedFrames);
    avformat_close_input(&f->fc);
    return f->indexStatus;
}

OSStatus openFile(OpaqueAudioFileID *f, const char *path)
{
    f->path = path;
    f->fd = open(path, O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (f->fd < 0 || fstat(f->fd, &info) != 0 || !S_ISREG(info.st_mode))
        return kAudioFileUnspecifiedError;
    f->id3 = findId3(f->fd, int64_t(info.st_size));
    if (describeMp3(f, int64_t(info.st_size)))
        return noErr;

    if (OSStatus status = openDemuxer(f, "mp3,mov,mp4,m4a,aac,wv"); status != noErr)
        return status;
    const AVStream *st = f->fc->streams[f->stream];
    if (strcmp(f->fc->iformat->name, "wv") == 0) {
        if (!describeWavPack(f, f->fc, f->stream))
            return kAudioFileUnsupportedDataFormatError;
        collectAllInfo(f);
        f->indexed = true;  // packets are frames
        return noErr;
    }
    const bool known = strncmp(f->fc->iformat->name, "mov", 3) == 0 && describeMp4(f, f->fc, f->stream);
    if (!known && !describeProbed(f, f->fc, f->stream))
        return kAudioFileUnsupportedDataFormatError;
    if (st->codecpar->extradata && st->codecpar->extradata_size > 0)
        f->cookie.assign(st->codecpar->extradata, st->codecpar->extradata + st->codecpar->extradata_size);
    collectAllInfo(f);
    if (!known) {
        // Only the packets tell the length: index them now.
        if (OSStatus status = buildIndex(f); status != noErr)
            return status;
        f->seconds = double(f->validFrames) / f->format.mSampleRate;
        f->packetSizeBound = f->maxPacketSize;
        f->info.values["approximate duration in seconds"].string = std::to_string(f->seconds);
    }
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
    freePcm(file->pcm);
    avformat_close_input(&file->fc);
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
    case kAudioFilePropertyMaximumPacketSize:
    case kAudioFilePropertyAudioDataPacketCount:
    case kAudioFilePropertyPacketTableInfo:
    case kAudioFilePropertyFrameToPacket:
    case kAudioFilePropertyPacketToFrame:
        if (OSStatus status = buildIndex(file); status != noErr)
            return status;
        break;
    default:
        break;
    }
    switch (property) {
    case kAudioFilePropertyDataFormat:
        return putValue(ioSize, data, &file->format, sizeof file->format);
    case kAudioFilePropertyPacketSizeUpperBound: {
        uint32_t bound = std::max(file->packetSizeBound, file->maxPacketSize);
        return putValue(ioSize, data, &bound, sizeof bound);
    }
    case kAudioFilePropertyMaximumPacketSize:
        return putValue(ioSize, data, &file->maxPacketSize, sizeof file->maxPacketSize);
    case kAudioFilePropertyEstimatedDuration:
        return putValue(ioSize, data, &file->seconds, sizeof file->seconds);
    case kAudioFilePropertyID3Tag:
        return putValue(ioSize, data, file->id3.data(), uint32_t(file->id3.size()));
    case kAudioFilePropertyMagicCookieData:
        return putValue(ioSize, data, file->cookie.data(), uint32_t(file->cookie.size()));
    case kAudioFilePropertyAudioDataPacketCount: {
        uint64_t count = file->pcm ? uint64_t(file->pcm->frames) : file->packets.size();
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
        // An MP3 opened without the demuxer: its metadata (ID3, APE tags) is read only now.
        if (!file->infoCollected && openDemuxer(file, "mp3") == noErr)
            collectAllInfo(file);
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
        if (file->pcm) {
            // A packet is a frame.
            if (property == kAudioFilePropertyFrameToPacket)
                t.mPacket = std::clamp<int64_t>(t.mFrame, 0, std::max<int64_t>(0, file->pcm->frames - 1));
            else
                t.mFrame = t.mPacket;
            t.mFrameOffsetInPacket = 0;
            memcpy(data, &t, sizeof t);
            *ioSize = sizeof t;
            return noErr;
        }
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
    if (OSStatus status = buildIndex(file); status != noErr)
        return status;
    if (file->pcm) {
        const int64_t got = readPcm(file, startPacket, *ioNumPackets, static_cast<uint8_t *>(buffer));
        for (int64_t k = 0; descriptions && k < got; k++)
            descriptions[k] = {k * int64_t(file->format.mBytesPerFrame), 0, file->format.mBytesPerFrame};
        *ioNumPackets = uint32_t(got);
        *outNumBytes = uint32_t(got * int64_t(file->format.mBytesPerFrame));
        return noErr;
    }
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

uint64_t AudioFileServicePacketsRead() { return gPacketsRead.load(); }

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
