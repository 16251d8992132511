#include "platform/ApeDecompress.h"

#include "platform/AudioFileService.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/crc.h>
#include <libavutil/intreadwrite.h>
}

#include <cstring>
#include <string>
#include <vector>

namespace {

// Frames of version 3.90 and later carry CRC-32 of their output, shifted right by one.
constexpr int kFirstCheckedVersion = 3900;

// The largest frame the reference encoder writes is 1,179,648 blocks ("insane"); a header
// claiming far more is damaged, and a whole frame is held in memory before it is handed out.
constexpr size_t kMaxFrameBlocks = 4 * 1179648;

class FfmpegApeDecompress final : public IAPEDecompress {
public:
    ~FfmpegApeDecompress() override;
    int open(const char *path);
    int GetData(unsigned char *buffer, int64_t blocks, int64_t *retrieved) override;
    int Seek(int64_t block) override;
    int64_t GetInfo(APE_DECOMPRESS_FIELDS field, int64_t param1, int64_t param2) override;

private:
    int decodeMore();
    bool startFrame(const AVPacket *packet);
    bool frameChecksumOk() const;
    bool appendOutput(const AVFrame *decoded);

    AVFormatContext *format_ = nullptr;
    AVCodecContext *codec_ = nullptr;
    AVPacket *packet_ = nullptr;
    AVFrame *frame_ = nullptr;
    int sampleRate_ = 0;
    int bits_ = 0;
    int channels_ = 0;
    int version_ = 0;
    int64_t totalBlocks_ = 0;

    std::vector<unsigned char> frameData_;  // the frame being decoded, until its checksum is known
    std::vector<unsigned char> pending_;    // checked blocks not handed out yet
    size_t pendingPos_ = 0;
    int64_t seekTarget_ = -1;             // until the first frame after a seek arrives
    int64_t skipBlocks_ = 0;              // blocks of that frame before the target
    int error_ = ERROR_SUCCESS;           // sticky until the next seek
    bool atEnd_ = false;
    bool draining_ = false;
    bool inFrame_ = false;
    bool checkFrame_ = false;
    uint32_t storedCrc_ = 0;
    uint32_t crc_ = 0;
};

FfmpegApeDecompress::~FfmpegApeDecompress()
{
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
}

int FfmpegApeDecompress::open(const char *path)
{
    if (AudioFileServiceOpenInput(&format_, path, "ape") < 0)
        return ERROR_INVALID_INPUT_FILE;
    if (format_->nb_streams < 1)
        return ERROR_INVALID_INPUT_FILE;
    const AVStream *st = format_->streams[0];
    const AVCodecParameters *par = st->codecpar;
    if (par->codec_id != AV_CODEC_ID_APE || par->extradata_size < 2)
        return ERROR_INVALID_INPUT_FILE;
    sampleRate_ = par->sample_rate;
    bits_ = par->bits_per_coded_sample;
    channels_ = par->ch_layout.nb_channels;
    version_ = AV_RL16(par->extradata);
    totalBlocks_ = st->duration > 0 ? st->duration : 0;
    if (sampleRate_ <= 0 || channels_ < 1 || channels_ > 2 ||
        (bits_ != 8 && bits_ != 16 && bits_ != 24))
        return ERROR_UNSUPPORTED_FILE_TYPE;

    const AVCodec *decoder = avcodec_find_decoder(AV_CODEC_ID_APE);
    if (!decoder)
        return ERROR_UNSUPPORTED_FILE_TYPE;
    codec_ = avcodec_alloc_context3(decoder);
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (!codec_ || !packet_ || !frame_ || avcodec_parameters_to_context(codec_, par) < 0 ||
        avcodec_open2(codec_, decoder, nullptr) < 0)
        return ERROR_INVALID_INPUT_FILE;
    return ERROR_SUCCESS;
}

// The demuxer's packet is the frame's 32-bit words behind an 8-byte header (block count,
// bit offset in bytes); the bitstream reads each word most significant byte first.
bool FfmpegApeDecompress::startFrame(const AVPacket *packet)
{
    inFrame_ = true;
    crc_ = UINT32_MAX;
    checkFrame_ = false;
    if (seekTarget_ >= 0) {
        skipBlocks_ = packet->pts != AV_NOPTS_VALUE && seekTarget_ > packet->pts
                          ? seekTarget_ - packet->pts
                          : 0;
        seekTarget_ = -1;
    }
    if (packet->size < 8)
        return false;
    if (version_ < kFirstCheckedVersion)
        return true;
    const unsigned char *words = packet->data + 8;
    size_t size = (size_t)packet->size - 8;
    uint32_t skip = AV_RL32(packet->data + 4);
    // A frame cut off before its checksum (a truncated file) cannot be trusted.
    if (skip > 3 || ((skip + 4 + 3) & ~3u) > size)
        return false;
    uint32_t stored = 0;
    for (uint32_t q = skip; q < skip + 4; q++)
        stored = stored << 8 | words[(q & ~3u) + 3 - (q & 3)];
    storedCrc_ = stored & 0x7FFFFFFF;  // the top bit announces frame flags
    checkFrame_ = true;
    return true;
}

bool FfmpegApeDecompress::frameChecksumOk() const
{
    return !checkFrame_ || ((crc_ ^ UINT32_MAX) >> 1) == storedCrc_;
}

bool FfmpegApeDecompress::appendOutput(const AVFrame *decoded)
{
    size_t sampleBytes = (size_t)bits_ / 8;
    size_t blockBytes = sampleBytes * (size_t)channels_;
    size_t n = (size_t)decoded->nb_samples;
    size_t start = frameData_.size();
    if (start / blockBytes + n > kMaxFrameBlocks)
        return false;
    frameData_.resize(start + n * blockBytes);
    unsigned char *p = frameData_.data() + start;
    for (size_t k = 0; k < n; k++) {
        for (int c = 0; c < channels_; c++) {
            const uint8_t *plane = decoded->extended_data[c];
            if (bits_ == 8) {
                *p++ = plane[k];
            } else if (bits_ == 16) {
                int16_t v = reinterpret_cast<const int16_t *>(plane)[k];
                *p++ = (unsigned char)v;
                *p++ = (unsigned char)(v >> 8);
            } else {
                // 24-bit samples come shifted into the top of 32 bits.
                int32_t v = reinterpret_cast<const int32_t *>(plane)[k] >> 8;
                *p++ = (unsigned char)v;
                *p++ = (unsigned char)(v >> 8);
                *p++ = (unsigned char)(v >> 16);
            }
        }
    }
    crc_ = av_crc(av_crc_get_table(AV_CRC_32_IEEE_LE), crc_, frameData_.data() + start, n * blockBytes);
    return true;
}

// Fills pending_ with the next whole frame, checked against its checksum before any of it is
// handed out (a damaged or cut-off frame would otherwise play as noise until its end): 1 when
// it did, 0 at the end, else an error.
int FfmpegApeDecompress::decodeMore()
{
    for (;;) {
        int r = avcodec_receive_frame(codec_, frame_);
        if (r == 0) {
            bool kept = appendOutput(frame_);
            av_frame_unref(frame_);
            if (!kept)
                return ERROR_DECOMPRESSING_FRAME;
            continue;
        }
        if (r != AVERROR(EAGAIN) && r != AVERROR_EOF)
            return ERROR_DECOMPRESSING_FRAME;
        // The decoder is done with the last packet, so its frame is complete.
        if (inFrame_) {
            inFrame_ = false;
            if (!frameChecksumOk())
                return ERROR_INVALID_CHECKSUM;
            size_t blockBytes = (size_t)(bits_ / 8 * channels_);
            size_t blocks = frameData_.size() / blockBytes;
            size_t skip = (size_t)(skipBlocks_ < (int64_t)blocks ? skipBlocks_ : (int64_t)blocks);
            skipBlocks_ = 0;
            pending_.swap(frameData_);
            frameData_.clear();
            pendingPos_ = skip * blockBytes;
            if (pendingPos_ < pending_.size())
                return 1;
        }
        if (r == AVERROR_EOF)
            return 0;
        if (draining_)
            return 0;
        r = av_read_frame(format_, packet_);
        if (r == AVERROR_EOF) {
            draining_ = true;
            avcodec_send_packet(codec_, nullptr);
            continue;
        }
        if (r < 0)
            return ERROR_DECOMPRESSING_FRAME;
        if (!startFrame(packet_)) {
            av_packet_unref(packet_);
            return ERROR_DECOMPRESSING_FRAME;
        }
        r = avcodec_send_packet(codec_, packet_);
        av_packet_unref(packet_);
        if (r < 0)
            return ERROR_DECOMPRESSING_FRAME;
    }
}

int FfmpegApeDecompress::GetData(unsigned char *buffer, int64_t blocks, int64_t *retrieved)
{
    size_t blockBytes = (size_t)(bits_ / 8 * channels_);
    int64_t got = 0;
    while (got < blocks && !atEnd_ && error_ == ERROR_SUCCESS) {
        if (pendingPos_ < pending_.size()) {
            int64_t held = (int64_t)((pending_.size() - pendingPos_) / blockBytes);
            int64_t n = held < blocks - got ? held : blocks - got;
            memcpy(buffer + got * (int64_t)blockBytes, pending_.data() + pendingPos_,
                   (size_t)n * blockBytes);
            pendingPos_ += (size_t)n * blockBytes;
            got += n;
            continue;
        }
        // The error codes are positive, like the 1 of a decoded frame.
        int r = decodeMore();
        if (r == 0)
            atEnd_ = true;
        else if (r != 1)
            error_ = r;
    }
    if (retrieved)
        *retrieved = got;
    return error_;
}

int FfmpegApeDecompress::Seek(int64_t block)
{
    frameData_.clear();
    pending_.clear();
    pendingPos_ = 0;
    skipBlocks_ = 0;
    inFrame_ = false;
    draining_ = false;
    error_ = ERROR_SUCCESS;
    atEnd_ = block >= totalBlocks_;
    if (atEnd_)
        return ERROR_SUCCESS;
    if (block < 0)
        block = 0;
    if (av_seek_frame(format_, 0, block, AVSEEK_FLAG_BACKWARD) < 0) {
        error_ = ERROR_DECOMPRESSING_FRAME;
        return error_;
    }
    avcodec_flush_buffers(codec_);
    seekTarget_ = block;
    return ERROR_SUCCESS;
}

int64_t FfmpegApeDecompress::GetInfo(APE_DECOMPRESS_FIELDS field, int64_t, int64_t)
{
    switch (field) {
    case APE_INFO_SAMPLE_RATE:
        return sampleRate_;
    case APE_INFO_BITS_PER_SAMPLE:
        return bits_;
    case APE_INFO_CHANNELS:
        return channels_;
    case APE_INFO_LENGTH_MS:
        return totalBlocks_ * 1000 / sampleRate_;
    }
    return 0;
}

void putUtf8(std::string &out, uint32_t cp)
{
    if (cp < 0x80) {
        out += (char)cp;
    } else if (cp < 0x800) {
        out += (char)(0xC0 | cp >> 6);
        out += (char)(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += (char)(0xE0 | cp >> 12);
        out += (char)(0x80 | (cp >> 6 & 0x3F));
        out += (char)(0x80 | (cp & 0x3F));
    } else {
        out += (char)(0xF0 | cp >> 18);
        out += (char)(0x80 | (cp >> 12 & 0x3F));
        out += (char)(0x80 | (cp >> 6 & 0x3F));
        out += (char)(0x80 | (cp & 0x3F));
    }
}

// Length of the well-formed UTF-8 sequence at s (0 if there is none) and its code point.
size_t utf8Sequence(const unsigned char *s, uint32_t *cp)
{
    unsigned char c = s[0];
    size_t len;
    uint32_t min;
    if (c < 0x80) {
        *cp = c;
        return 1;
    } else if ((c & 0xE0) == 0xC0) {
        len = 2, min = 0x80, *cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3, min = 0x800, *cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4, min = 0x10000, *cp = c & 0x07;
    } else {
        return 0;
    }
    for (size_t k = 1; k < len; k++) {
        if ((s[k] & 0xC0) != 0x80)
            return 0;  // also stops at the terminating NUL
        *cp = *cp << 6 | (s[k] & 0x3F);
    }
    if (*cp < min || *cp > 0x10FFFF || (*cp >= 0xD800 && *cp <= 0xDFFF))
        return 0;
    return len;
}

}  // namespace

str_utfn *CAPECharacterHelper::GetUTF16FromUTF8(const char *utf8)
{
    const unsigned char *s = reinterpret_cast<const unsigned char *>(utf8 ? utf8 : "");
    std::u16string out;
    while (*s) {
        uint32_t cp;
        size_t len = utf8Sequence(s, &cp);
        if (len == 0) {
            out += (char16_t)(0xDC00 | *s);
            s++;
            continue;
        }
        s += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += (char16_t)(0xD800 | cp >> 10);
            out += (char16_t)(0xDC00 | (cp & 0x3FF));
        } else {
            out += (char16_t)cp;
        }
    }
    str_utfn *result = new str_utfn[out.size() + 1];
    memcpy(result, out.c_str(), (out.size() + 1) * sizeof(str_utfn));
    return result;
}

char *CAPECharacterHelper::GetUTF8FromUTF16(const str_utfn *utf16)
{
    std::string out;
    for (const str_utfn *p = utf16; p && *p; p++) {
        uint32_t u = *p;
        if (u >= 0xD800 && u <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
            putUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (p[1] - 0xDC00));
            p++;
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            out += (char)(u & 0xFF);
        } else {
            putUtf8(out, u);
        }
    }
    char *result = new char[out.size() + 1];
    memcpy(result, out.c_str(), out.size() + 1);
    return result;
}

IAPEDecompress *CreateIAPEDecompress(const str_utfn *path, int *errorCode)
{
    char *utf8 = CAPECharacterHelper::GetUTF8FromUTF16(path);
    auto *decompress = new FfmpegApeDecompress;
    int error = decompress->open(utf8);
    delete[] utf8;
    if (errorCode)
        *errorCode = error;
    if (error != ERROR_SUCCESS) {
        delete decompress;
        return nullptr;
    }
    return decompress;
}
