// WAV output: a 44-byte PCM header and little-endian 16-bit stereo frames.
#include "output/wav_write.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

static const uint32_t WAV_FRAME_BYTES = WAV_CHANNELS * WAV_BITS / 8;
static const uint16_t WAV_FORMAT_PCM = 1;
static const uint32_t WAV_FMT_CHUNK_BYTES = 16;
// Largest data size a WAV header can state (the RIFF size must fit 32 bits).
static const uint32_t WAV_MAX_DATA_BYTES = 0xFFFFFFFFu - (WAV_HEADER_BYTES - 8);

static uint8_t* put16(uint8_t* p, uint16_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    return p + 2;
}

static uint8_t* put32(uint8_t* p, uint32_t v)
{
    p = put16(p, (uint16_t)v);
    return put16(p, (uint16_t)(v >> 16));
}

static void header_fill(uint8_t* h, uint32_t data_bytes)
{
    uint8_t* p = h;
    memcpy(p, "RIFF", 4);
    p = put32(p + 4, WAV_HEADER_BYTES - 8 + data_bytes);
    memcpy(p, "WAVEfmt ", 8);
    p = put32(p + 8, WAV_FMT_CHUNK_BYTES);
    p = put16(p, WAV_FORMAT_PCM);
    p = put16(p, WAV_CHANNELS);
    p = put32(p, WAV_RATE);
    p = put32(p, WAV_RATE * WAV_FRAME_BYTES);
    p = put16(p, (uint16_t)WAV_FRAME_BYTES);
    p = put16(p, WAV_BITS);
    memcpy(p, "data", 4);
    put32(p + 4, data_bytes);
}

static bool fail(WavWriter* wav, std::string* error)
{
    if (error) *error = wav->path + ": " + strerror(errno);
    if (wav->file) fclose(wav->file);
    wav->file = nullptr;
    return false;
}

uint32_t wav_max_frames() { return WAV_MAX_DATA_BYTES / WAV_FRAME_BYTES; }

bool wav_open(WavWriter* wav, int fd, const std::string& path, uint64_t length, std::string* error)
{
    wav->path = path;
    wav->frames = 0;
    wav->file = nullptr;
    if (length > wav_max_frames()) {
        errno = EFBIG;
        return fail(wav, error);
    }
    wav->length = (uint32_t)length;
    const int own = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    wav->file = own >= 0 ? fdopen(own, "wb") : nullptr;
    if (!wav->file) {
        if (own >= 0) close(own);
        return fail(wav, error);
    }
    uint8_t header[WAV_HEADER_BYTES];
    header_fill(header, length * WAV_FRAME_BYTES);
    if (fwrite(header, 1, sizeof header, wav->file) != sizeof header) return fail(wav, error);
    return true;
}

bool wav_write(WavWriter* wav, const int16_t* samples, uint32_t frames, std::string* error)
{
    if ((uint64_t)wav->frames + frames > wav->length) {
        errno = EFBIG;
        return fail(wav, error);
    }
    // Samples are stored little-endian whatever the host's byte order.
    uint8_t bytes[4096];
    uint32_t done = 0;
    const uint32_t per_chunk = sizeof bytes / WAV_FRAME_BYTES;
    while (done < frames) {
        const uint32_t n = frames - done < per_chunk ? frames - done : per_chunk;
        for (uint32_t i = 0; i < n * WAV_CHANNELS; i++) {
            put16(bytes + 2 * i, (uint16_t)samples[done * WAV_CHANNELS + i]);
        }
        if (fwrite(bytes, WAV_FRAME_BYTES, n, wav->file) != n) return fail(wav, error);
        done += n;
    }
    wav->frames += frames;
    return true;
}

bool wav_close(WavWriter* wav, std::string* error)
{
    if (!wav->file) return false;
    FILE* file = wav->file;
    wav->file = nullptr;
    if (fclose(file) != 0) {
        if (error) *error = wav->path + ": " + strerror(errno);
        return false;
    }
    if (wav->frames == wav->length) return true;
    if (error) *error = wav->path + ": the sound ended after " + std::to_string(wav->frames) + " of " +
                        std::to_string(wav->length) + " frames";
    return false;
}
