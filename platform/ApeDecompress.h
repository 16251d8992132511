// The Monkey's Audio decompressor interface the APE reader is written against, implemented
// over FFmpeg's APE demuxer and decoder. Output is what the reference decoder gives: the
// original WAV data, interleaved little-endian (8-bit unsigned, 16-bit, packed 24-bit).
#pragma once

#include <cstdint>

// The decompressor's wide path characters: UTF-16.
using str_utfn = char16_t;

enum APE_DECOMPRESS_FIELDS {
    APE_INFO_SAMPLE_RATE = 1003,
    APE_INFO_BITS_PER_SAMPLE = 1004,
    APE_INFO_CHANNELS = 1006,
    APE_INFO_LENGTH_MS = 1017,
};

constexpr int ERROR_SUCCESS = 0;
constexpr int ERROR_INVALID_INPUT_FILE = 1002;
constexpr int ERROR_INVALID_CHECKSUM = 1009;
constexpr int ERROR_DECOMPRESSING_FRAME = 1010;
constexpr int ERROR_UNSUPPORTED_FILE_TYPE = 1014;

// Not thread-safe: one thread at a time per decompressor.
class IAPEDecompress {
public:
    virtual ~IAPEDecompress() = default;
    // Decodes up to `blocks` blocks (frames) into `buffer`; `*retrieved` gets the count.
    // A frame's blocks are handed out once the whole frame has decoded and matched its
    // checksum. After a damaged frame (decoder error, checksum mismatch, cut off) it keeps
    // returning the error and 0 blocks until the next Seek.
    virtual int GetData(unsigned char *buffer, int64_t blocks, int64_t *retrieved) = 0;
    // The next GetData starts at this block; past the end means nothing is left.
    virtual int Seek(int64_t block) = 0;
    virtual int64_t GetInfo(APE_DECOMPRESS_FIELDS field, int64_t param1 = 0,
                            int64_t param2 = 0) = 0;
};

// Null when the file cannot be opened or is not a Monkey's Audio stream this decoder plays.
IAPEDecompress *CreateIAPEDecompress(const str_utfn *path, int *errorCode);

class CAPECharacterHelper {
public:
    // A new[] array the caller delete[]s. Bytes that are not UTF-8 (file names need not be)
    // become U+DC80..U+DCFF, so GetUTF8FromUTF16 gives the same bytes back.
    static str_utfn *GetUTF16FromUTF8(const char *utf8);
    static char *GetUTF8FromUTF16(const str_utfn *utf16);
};
