#include "engine/SVCoreAudioFile.h"

#include <cassert>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/AudioFileService.h"

namespace {

struct SVCoreAudioFile : SVFile {
    AudioFileID audio_file_id;
    AudioStreamBasicDescription format;
    int64_t current_packet;       // next packet to read
    uint64_t total_frames;
    uint32_t max_packet_size;     // 0 until the first read fetches it
    uint32_t seek_offset;         // frames from the current packet's start to the last seek target
};

// A packet-size property, 4 or 8 bytes wide; 0 when it cannot be read.
uint64_t readIntegerProperty(AudioFileID id, AudioFilePropertyID property)
{
    uint32_t size = 0;
    OSStatus status = AudioFileGetPropertyInfo(id, property, &size, nullptr);
    if (status != noErr) {
        SV_FAILED("status == noErr");
        return 0;
    }
    if (size == 4) {
        uint32_t v = 0;
        return AudioFileGetProperty(id, property, &size, &v) == noErr ? v : 0;
    }
    if (size == 8) {
        uint64_t v = 0;
        return AudioFileGetProperty(id, property, &size, &v) == noErr ? v : 0;
    }
    SV_FAILED("size == 4 || size == 8");
    return 0;
}

double readDuration(AudioFileID id)
{
    uint32_t size = 0;
    OSStatus status = AudioFileGetPropertyInfo(id, kAudioFilePropertyEstimatedDuration, &size, nullptr);
    if (status != noErr) {
        SV_FAILED("status == noErr");
        return 0.0;
    }
    if (size == 4) {
        float v = 0;
        return AudioFileGetProperty(id, kAudioFilePropertyEstimatedDuration, &size, &v) == noErr ? v : 0.0;
    }
    if (size == 8) {
        double v = 0;
        return AudioFileGetProperty(id, kAudioFilePropertyEstimatedDuration, &size, &v) == noErr ? v : 0.0;
    }
    SV_FAILED("size == 4 || size == 8");
    return 0.0;
}

bool translate(AudioFileID id, AudioFilePropertyID property, AudioFramePacketTranslation *t)
{
    uint32_t size = sizeof *t;
    return AudioFileGetProperty(id, property, &size, t) == noErr;
}

void readId3(SVFile *f, AudioFileID id)
{
    uint32_t size = 0;
    if (AudioFileGetPropertyInfo(id, kAudioFilePropertyID3Tag, &size, nullptr) != noErr || size == 0)
        return;
    auto *block = static_cast<unsigned char *>(malloc(size));
    if (!block)
        return;
    if (AudioFileGetProperty(id, kAudioFilePropertyID3Tag, &size, block) == noErr && size > 3) {
        if (memcmp(block, "TAG", 3) == 0)
            SVTagParseID3v1(&f->tag, block, size);
        else if (memcmp(block, "ID3", 3) == 0)
            SVTagParseID3v2(&f->tag, block, size);
    }
    free(block);
}

char *infoText(const AudioFileInfoDictionary *info, const char *key)
{
    const AudioFileInfoValue *v = AudioFileInfoDictionaryGetValue(info, key);
    return v && !v->isNumber ? strdup(v->string.c_str()) : nullptr;
}

int32_t infoNumber(const AudioFileInfoDictionary *info, const char *key)
{
    const AudioFileInfoValue *v = AudioFileInfoDictionaryGetValue(info, key);
    if (!v)
        return 0;
    // A string's integer value is its leading number, as in "3/12".
    long long n = v->isNumber ? v->number : strtoll(v->string.c_str(), nullptr, 10);
    return n > INT32_MAX ? INT32_MAX : n < INT32_MIN ? INT32_MIN : int32_t(n);
}

void readInfoDictionary(SVFile *f, AudioFileID id)
{
    AudioFileInfoDictionary *info = nullptr;
    uint32_t size = sizeof info;
    if (AudioFileGetProperty(id, kAudioFilePropertyInfoDictionary, &size, &info) != noErr || !info)
        return;
    f->tag.artist = infoText(info, "artist");
    f->tag.title = infoText(info, "title");
    f->tag.album = infoText(info, "album");
    f->tag.comment = infoText(info, "comments");
    f->tag.genre = infoText(info, "genre");
    f->tag.track = infoNumber(info, "track number");
    f->tag.year = infoNumber(info, "year");
    AudioFileInfoDictionaryRelease(info);
}

// Packets a decoder needs before a packet to decode it as in a run from the start: an MP3
// frame may take its data from the two frames before it (the bit reservoir) and overlaps the
// one before; an AAC frame overlaps the one before.
int64_t prerollPackets(const AudioStreamBasicDescription &format)
{
    switch (format.mFormatID) {
    case kAudioFormatMPEGLayer3:
        return 3;
    case kAudioFormatMPEG4AAC:
        return 2;
    default:
        return 0;
    }
}

int core_seek(SVFile *file, double seconds)
{
    assert(file->type == SVFileTypeCoreAudio);
    SVCoreAudioFile *cf = static_cast<SVCoreAudioFile *>(file);
    double t = seconds > 0.0 ? seconds : 0.0;  // NaN goes to 0 too
    if (t > cf->duration)
        t = cf->duration;
    AudioFramePacketTranslation tr = {};
    tr.mFrame = cf->duration > 0.0 ? (int64_t)(t / cf->duration * (double)cf->total_frames) : 0;
    if (!translate(cf->audio_file_id, kAudioFilePropertyFrameToPacket, &tr))
        return 0;
    // Decoding starts a few packets early, so the target packet decodes as it would in a
    // run from the start; the queue's trim drops what comes before the target frame.
    AudioFramePacketTranslation start = {};
    start.mPacket = tr.mPacket > prerollPackets(cf->format) ? tr.mPacket - prerollPackets(cf->format) : 0;
    if (!translate(cf->audio_file_id, kAudioFilePropertyPacketToFrame, &start)) {
        start.mPacket = tr.mPacket;
        start.mFrame = tr.mFrame - tr.mFrameOffsetInPacket;
    }
    cf->current_packet = start.mPacket;
    cf->seek_offset = (uint32_t)(tr.mFrame - start.mFrame);
    return 1;
}

double core_tell(SVFile *file)
{
    assert(file->type == SVFileTypeCoreAudio);
    SVCoreAudioFile *cf = static_cast<SVCoreAudioFile *>(file);
    AudioFramePacketTranslation tr = {};
    tr.mPacket = cf->current_packet;
    if (cf->total_frames == 0 || !translate(cf->audio_file_id, kAudioFilePropertyPacketToFrame, &tr))
        return 0.0;
    // A packet of the encoder's priming starts before the first frame.
    int64_t frame = tr.mFrame + cf->seek_offset;
    if (frame < 0)
        frame = 0;
    if ((uint64_t)frame > cf->total_frames)
        frame = (int64_t)cf->total_frames;
    return (double)frame / (double)cf->total_frames * cf->duration;
}

// A lossless stream that the service decodes (WavPack) is PCM whose packets are frames: it
// reads like the other PCM readers, so that the player joins, cuts and seeks it to the frame.
int32_t pcm_read(SVFile *file, void *buffer, int32_t bytes)
{
    assert(file->type == SVFileTypeCoreAudioPcm);
    SVCoreAudioFile *cf = static_cast<SVCoreAudioFile *>(file);
    const uint32_t frame = cf->format.mBytesPerFrame;
    uint32_t frames = bytes > 0 ? (uint32_t)bytes / frame : 0;
    uint32_t got = 0;
    if (frames == 0 ||
        AudioFileReadPackets(cf->audio_file_id, false, &got, nullptr, cf->current_packet, &frames, buffer) != noErr)
        return 0;
    cf->current_packet += frames;
    return (int32_t)got;
}

// To the nearest frame, so that a time taken from tell() comes back to its frame.
int pcm_seek(SVFile *file, double seconds)
{
    assert(file->type == SVFileTypeCoreAudioPcm);
    SVCoreAudioFile *cf = static_cast<SVCoreAudioFile *>(file);
    double frame = (seconds > 0.0 ? seconds : 0.0) * cf->sample_rate + 0.5;  // NaN goes to 0 too
    cf->current_packet = frame < (double)cf->total_frames ? (int64_t)frame : (int64_t)cf->total_frames;
    return 1;
}

double pcm_tell(SVFile *file)
{
    assert(file->type == SVFileTypeCoreAudioPcm);
    SVCoreAudioFile *cf = static_cast<SVCoreAudioFile *>(file);
    return (double)cf->current_packet / cf->sample_rate;
}

void core_close(SVFile *file)
{
    assert(file->type == SVFileTypeCoreAudio || file->type == SVFileTypeCoreAudioPcm);
    SVCoreAudioFile *cf = static_cast<SVCoreAudioFile *>(file);
    if (cf->audio_file_id)
        AudioFileClose(cf->audio_file_id);
    delete cf;
}

}  // namespace

SVFile *SVCoreAudioFileOpen(const char *path)
{
    SVCoreAudioFile *cf = new (std::nothrow) SVCoreAudioFile();
    SVFile *f = cf;
    OSStatus status;
    uint32_t size;

    SV_CHECK(cf != NULL);
    cf->type = SVFileTypeCoreAudio;
    cf->seek = core_seek;
    cf->tell = core_tell;
    cf->close = core_close;

    status = AudioFileOpenPath(path, &cf->audio_file_id);
    SV_CHECK(status == noErr && cf->audio_file_id != NULL);
    size = sizeof(cf->format);
    status = AudioFileGetProperty(cf->audio_file_id, kAudioFilePropertyDataFormat, &size, &cf->format);
    SV_CHECK(status == noErr && size == sizeof(cf->format));

    f->sample_rate = (uint32_t)cf->format.mSampleRate;
    f->num_channels = cf->format.mChannelsPerFrame;
    SV_CHECK(f->num_channels > 0);
    f->bits_per_sample = cf->format.mBytesPerFrame ? cf->format.mBytesPerFrame * 8 / f->num_channels : 0;
    f->block_size = (uint32_t)readIntegerProperty(cf->audio_file_id, kAudioFilePropertyPacketSizeUpperBound);
    SV_CHECK(f->block_size > 0);
    f->big_endian = 0;
    f->duration = readDuration(cf->audio_file_id);
    cf->total_frames = f->duration > 0.0 ? (uint64_t)(f->duration * f->sample_rate) : 0;
    if (cf->format.mFormatID == kAudioFormatLinearPCM) {
        uint64_t frames = 0;
        size = sizeof frames;
        SV_CHECK(f->bits_per_sample > 0 &&
                 AudioFileGetProperty(cf->audio_file_id, kAudioFilePropertyAudioDataPacketCount, &size, &frames) ==
                     noErr);
        cf->type = SVFileTypeCoreAudioPcm;
        cf->read = pcm_read;
        cf->seek = pcm_seek;
        cf->tell = pcm_tell;
        cf->total_frames = frames;
    }

    readId3(f, cf->audio_file_id);
    if (SVTagIsEmpty(&f->tag))
        readInfoDictionary(f, cf->audio_file_id);
    return f;

fail:
    SVFileClose(f);
    return nullptr;
}

int32_t SVCoreAudioFileRead(SVFile *file, void *buffer, int32_t bytes,
                            AudioStreamPacketDescription **descriptions, uint32_t *packets)
{
    return SVCoreAudioFileReadPackets(file, buffer, bytes, UINT32_MAX, descriptions, packets);
}

int32_t SVCoreAudioFileReadPackets(SVFile *file, void *buffer, int32_t bytes, uint32_t maxPackets,
                                   AudioStreamPacketDescription **descriptions, uint32_t *packets)
{
    if (descriptions)
        *descriptions = nullptr;
    if (packets)
        *packets = 0;
    if (!file || file->type != SVFileTypeCoreAudio) {
        SV_FAILED("file->type == SVFileTypeCoreAudio");
        return 0;
    }
    SVCoreAudioFile *cf = static_cast<SVCoreAudioFile *>(file);
    if (cf->max_packet_size == 0)
        cf->max_packet_size =
            (uint32_t)readIntegerProperty(cf->audio_file_id, kAudioFilePropertyMaximumPacketSize);
    if (cf->max_packet_size == 0 || bytes <= 0)
        return 0;
    uint32_t np = (uint32_t)bytes / cf->max_packet_size;
    if (!(np > 0)) {
        SV_FAILED("np > 0");
        return 0;
    }
    if (np > maxPackets)
        np = maxPackets;
    if (np == 0)
        return 0;
    AudioStreamPacketDescription *desc = nullptr;
    if (cf->format.mBytesPerPacket == 0 || cf->format.mFramesPerPacket == 0) {
        desc = static_cast<AudioStreamPacketDescription *>(malloc(np * sizeof *desc));
        if (!desc) {
            SV_FAILED("desc != NULL");
            return 0;
        }
    }
    uint32_t got = 0;
    OSStatus status =
        AudioFileReadPackets(cf->audio_file_id, false, &got, desc, cf->current_packet, &np, buffer);
    if (status != noErr) {
        SV_FAILED("status == noErr");
        free(desc);
        return 0;
    }
    cf->current_packet += np;
    if (np > 0) {
        cf->seek_offset = 0;
    } else {
        free(desc);  // at the end: nothing to describe
        desc = nullptr;
    }
    if (descriptions)
        *descriptions = desc;
    else
        free(desc);
    if (packets)
        *packets = np;
    return (int32_t)got;
}

uint32_t SVCoreAudioFilePacketsBefore(SVFile *file, double seconds)
{
    if (!file || file->type != SVFileTypeCoreAudio)
        return 0;
    SVCoreAudioFile *cf = static_cast<SVCoreAudioFile *>(file);
    if (cf->duration <= 0.0 || cf->total_frames == 0)
        return UINT32_MAX;
    double t = seconds > 0.0 ? seconds : 0.0;
    if (t > cf->duration)
        return UINT32_MAX;
    // The same conversion as a seek's, so an end and a start at one time meet at one frame.
    AudioFramePacketTranslation tr = {};
    tr.mFrame = (int64_t)(t / cf->duration * (double)cf->total_frames) - 1;
    if (tr.mFrame < 0)
        return 0;
    if (!translate(cf->audio_file_id, kAudioFilePropertyFrameToPacket, &tr))
        return UINT32_MAX;
    int64_t left = tr.mPacket + 1 - cf->current_packet;
    return left <= 0 ? 0 : left > (int64_t)UINT32_MAX ? UINT32_MAX : (uint32_t)left;
}

const AudioStreamBasicDescription *SVCoreAudioFileFormat(SVFile *file)
{
    if (!file || file->type != SVFileTypeCoreAudio)
        return nullptr;
    return &static_cast<SVCoreAudioFile *>(file)->format;
}

std::vector<uint8_t> SVCoreAudioFileMagicCookie(SVFile *file)
{
    std::vector<uint8_t> cookie;
    if (!file || file->type != SVFileTypeCoreAudio)
        return cookie;
    AudioFileID id = static_cast<SVCoreAudioFile *>(file)->audio_file_id;
    uint32_t size = 0;
    if (AudioFileGetPropertyInfo(id, kAudioFilePropertyMagicCookieData, &size, nullptr) != noErr || size == 0)
        return cookie;
    cookie.resize(size);
    if (AudioFileGetProperty(id, kAudioFilePropertyMagicCookieData, &size, cookie.data()) != noErr)
        cookie.clear();
    else
        cookie.resize(size);
    return cookie;
}

void SVCoreAudioFileTrim(SVFile *file, int64_t *skipFrames, int64_t *keepFrames)
{
    *skipFrames = 0;
    *keepFrames = -1;
    if (!file || file->type != SVFileTypeCoreAudio)
        return;
    SVCoreAudioFile *cf = static_cast<SVCoreAudioFile *>(file);
    AudioFramePacketTranslation tr = {};
    tr.mPacket = cf->current_packet;
    AudioFilePacketTableInfo table = {};
    uint32_t size = sizeof table;
    if (!translate(cf->audio_file_id, kAudioFilePropertyPacketToFrame, &tr) ||
        AudioFileGetProperty(cf->audio_file_id, kAudioFilePropertyPacketTableInfo, &size, &table) != noErr)
        return;
    // Output starts at the first real frame, or at the seek target inside the packet.
    int64_t begin = tr.mFrame + cf->seek_offset;
    if (begin < 0)
        begin = 0;
    *skipFrames = begin - tr.mFrame;
    *keepFrames = table.mNumberValidFrames > begin ? table.mNumberValidFrames - begin : 0;
}
