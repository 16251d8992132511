#include "platform/PacketDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>

#include "platform/AudioFileService.h"

struct SVPacketDecoder {
    AVCodecContext *codec = nullptr;
    AVPacket *packet = nullptr;
    AVFrame *frame = nullptr;
    SwrContext *swr = nullptr;
    int swrRate = 0;                 // the input the converter was set up for
    int swrFormat = -1;
    AVChannelLayout swrLayout = {};
    int rate = 0;
    int channels = 0;
    int64_t skip = 0;                // frames still to drop
    int64_t keep = -1;               // frames still to hand out; -1 without a limit
    int64_t emitted = 0;             // frames handed out since the trim
    std::vector<uint8_t> converted;
};

namespace {

bool prepareConverter(SVPacketDecoder *d, const AVFrame *frame)
{
    if (d->swr && d->swrRate == frame->sample_rate && d->swrFormat == frame->format &&
        av_channel_layout_compare(&d->swrLayout, &frame->ch_layout) == 0)
        return true;
    swr_free(&d->swr);
    av_channel_layout_uninit(&d->swrLayout);
    AVChannelLayout out;
    av_channel_layout_default(&out, d->channels);
    int r = swr_alloc_set_opts2(&d->swr, &out, AV_SAMPLE_FMT_S16, d->rate, const_cast<AVChannelLayout *>(&frame->ch_layout),
                                AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&out);
    if (r < 0 || swr_init(d->swr) < 0) {
        swr_free(&d->swr);
        return false;
    }
    d->swrRate = frame->sample_rate;
    d->swrFormat = frame->format;
    av_channel_layout_copy(&d->swrLayout, &frame->ch_layout);
    return true;
}

// Appends the converter's output for `frame` (null: what it still holds), trimmed.
bool emit(SVPacketDecoder *d, const AVFrame *frame, std::vector<uint8_t> &out)
{
    if (frame && !prepareConverter(d, frame))
        return false;
    if (!d->swr)
        return true;
    const int inFrames = frame ? frame->nb_samples : 0;
    const int room = swr_get_out_samples(d->swr, inFrames);
    if (room <= 0)
        return true;
    const size_t frameBytes = size_t(d->channels) * 2;
    d->converted.resize(size_t(room) * frameBytes);
    uint8_t *dst = d->converted.data();
    int got = swr_convert(d->swr, &dst, room, frame ? const_cast<const uint8_t **>(frame->extended_data) : nullptr,
                          inFrames);
    if (got < 0)
        return false;
    int64_t from = std::min<int64_t>(d->skip, got);
    d->skip -= from;
    int64_t n = got - from;
    if (d->keep >= 0) {
        n = std::min(n, d->keep);
        d->keep -= n;
    }
    if (n > 0) {
        out.insert(out.end(), dst + from * int64_t(frameBytes), dst + (from + n) * int64_t(frameBytes));
        d->emitted += n;
    }
    return true;
}

// Takes every frame the codec has ready.
bool receiveAll(SVPacketDecoder *d, std::vector<uint8_t> &out)
{
    bool ok = true;
    for (;;) {
        int r = avcodec_receive_frame(d->codec, d->frame);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return ok;
        if (r < 0)
            return false;
        ok = emit(d, d->frame, out) && ok;
        av_frame_unref(d->frame);
    }
}

}  // namespace

SVPacketDecoder *SVPacketDecoderCreate(const AudioStreamBasicDescription *format, const void *cookie,
                                       uint32_t cookieSize)
{
    if (!format || format->mChannelsPerFrame < 1 || format->mChannelsPerFrame > 8 || !(format->mSampleRate >= 1000.0) ||
        format->mSampleRate > 384000.0)
        return nullptr;
    const AVCodec *codec = avcodec_find_decoder(AVCodecID(AudioFileServiceCodecFor(format->mFormatID)));
    if (!codec)
        return nullptr;
    auto *d = new SVPacketDecoder;
    d->rate = int(format->mSampleRate);
    d->channels = int(format->mChannelsPerFrame);
    d->codec = avcodec_alloc_context3(codec);
    d->packet = av_packet_alloc();
    d->frame = av_frame_alloc();
    if (!d->codec || !d->packet || !d->frame) {
        SVPacketDecoderFree(d);
        return nullptr;
    }
    d->codec->sample_rate = d->rate;
    av_channel_layout_default(&d->codec->ch_layout, d->channels);
    if (cookie && cookieSize > 0) {
        d->codec->extradata = static_cast<uint8_t *>(av_mallocz(size_t(cookieSize) + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!d->codec->extradata) {
            SVPacketDecoderFree(d);
            return nullptr;
        }
        memcpy(d->codec->extradata, cookie, cookieSize);
        d->codec->extradata_size = int(cookieSize);
    }
    if (avcodec_open2(d->codec, codec, nullptr) < 0) {
        SVPacketDecoderFree(d);
        return nullptr;
    }
    return d;
}

void SVPacketDecoderSetTrim(SVPacketDecoder *decoder, int64_t skipFrames, int64_t keepFrames)
{
    if (!decoder)
        return;
    decoder->skip = std::max<int64_t>(0, skipFrames);
    decoder->keep = keepFrames < 0 ? -1 : keepFrames;
    decoder->emitted = 0;
}

void SVPacketDecoderSetEnd(SVPacketDecoder *decoder, int64_t keepFrames)
{
    if (!decoder)
        return;
    decoder->keep = keepFrames < 0 ? -1 : std::max<int64_t>(0, keepFrames - decoder->emitted);
}

bool SVPacketDecoderDecode(SVPacketDecoder *decoder, const void *data, uint32_t bytes,
                           const AudioStreamPacketDescription *descriptions, uint32_t packets,
                           std::vector<uint8_t> &out)
{
    if (!decoder || (!data && bytes > 0))
        return false;
    const auto *base = static_cast<const uint8_t *>(data);
    // Without descriptions the buffer holds packets of the format's constant size, or is one packet.
    uint32_t each = bytes;
    uint32_t count = 1;
    if (descriptions) {
        count = packets;
    } else if (packets > 0 && bytes % packets == 0) {
        count = packets;
        each = bytes / packets;
    }
    bool ok = true;
    for (uint32_t k = 0; k < count; k++) {
        uint64_t offset = descriptions ? uint64_t(descriptions[k].mStartOffset) : uint64_t(k) * each;
        uint32_t size = descriptions ? descriptions[k].mDataByteSize : each;
        if (descriptions && (descriptions[k].mStartOffset < 0 || offset > bytes || size > bytes - offset)) {
            ok = false;  // a description pointing outside the buffer
            continue;
        }
        if (size == 0)
            continue;
        if (av_new_packet(decoder->packet, int(size)) < 0)
            return false;
        memcpy(decoder->packet->data, base + offset, size);
        // A damaged packet is skipped; the ones after it still play.
        if (avcodec_send_packet(decoder->codec, decoder->packet) < 0)
            ok = false;
        av_packet_unref(decoder->packet);
        ok = receiveAll(decoder, out) && ok;
    }
    return ok;
}

void SVPacketDecoderDrain(SVPacketDecoder *decoder, std::vector<uint8_t> &out)
{
    if (!decoder)
        return;
    avcodec_send_packet(decoder->codec, nullptr);
    receiveAll(decoder, out);
    emit(decoder, nullptr, out);
    avcodec_flush_buffers(decoder->codec);
}

void SVPacketDecoderFree(SVPacketDecoder *decoder)
{
    if (!decoder)
        return;
    swr_free(&decoder->swr);
    av_channel_layout_uninit(&decoder->swrLayout);
    av_frame_free(&decoder->frame);
    av_packet_free(&decoder->packet);
    avcodec_free_context(&decoder->codec);
    delete decoder;
}
