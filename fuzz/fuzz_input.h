// Fuzz input helpers shared by the harnesses: the byte layouts their inputs
// use, so the seed writer and the harnesses agree.
//
// Song input:  u32 little-endian stream length L, then L stream bytes (fewer
//              if the input ends), then the instrument table's doubles.
// Chain input: one byte voice count (mod 33), a float row length in ms, then
//              the configuration's doubles.
// Doubles and floats are in the machine's byte order; trailing bytes that do
// not make a whole value are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

const size_t FUZZ_SONG_HEADER = 4;
const size_t FUZZ_CHAIN_HEADER = 5;
const int FUZZ_MAX_VOICES = 32;

inline std::vector<double> fuzz_doubles(const uint8_t* data, size_t size)
{
    std::vector<double> values(size / sizeof(double));
    if (!values.empty()) {
        memcpy(values.data(), data, values.size() * sizeof(double));
    }
    return values;
}

inline void fuzz_append(std::vector<uint8_t>* out, const void* data, size_t size)
{
    const uint8_t* bytes = (const uint8_t*)data;
    out->insert(out->end(), bytes, bytes + size);
}
