// Fuzz harness: the effect chain builder on any configuration, and three
// blocks through every chain it accepts.
#include <cstring>

#include "fuzz/fuzz_input.h"
#include "synth/effect_chain.h"
#include "synth/voice.h"

static const int FUZZ_BLOCKS = 3;
static const float MASTER_GAIN = 1.4f;

static Voice* s_voices[FUZZ_MAX_VOICES];

// Voices with a second of varied sound in their rings, made once.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    uint32_t noise = 1;
    for (int v = 0; v < FUZZ_MAX_VOICES; v++) {
        s_voices[v] = voice_create();
        for (uint32_t i = 0; i < RING_FLOATS; i++) {
            noise = noise * 1664525u + 1013904223u;
            s_voices[v]->ring[i] = (float)(int32_t)noise / 65536.0f;
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < FUZZ_CHAIN_HEADER) {
        return 0;
    }
    int voice_count = data[0] % (FUZZ_MAX_VOICES + 1);
    float row_ms = 0.0f;
    memcpy(&row_ms, data + 1, sizeof row_ms);
    std::vector<double> config = fuzz_doubles(data + FUZZ_CHAIN_HEADER, size - FUZZ_CHAIN_HEADER);
    EffectChain* chain = effect_chain_build(s_voices, voice_count, config.data(), config.size(),
                                            row_ms);
    if (!chain) {
        return 0;
    }
    for (int v = 0; v < FUZZ_MAX_VOICES; v++) {
        s_voices[v]->read_pos = 0;
    }
    for (int b = 0; b < FUZZ_BLOCKS; b++) {
        effect_chain_process(chain, MASTER_GAIN);
    }
    effect_chain_release(chain);
    return 0;
}
