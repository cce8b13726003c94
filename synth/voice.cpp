// Voice rendering: oscillators, modulation sources, envelope and filter per channel.
#include "synth/voice.h"

#include <cstdlib>

Voice* voice_create()
{
    Voice* voice = (Voice*)calloc(1, sizeof(Voice));
    voice->state = (VoiceState*)calloc(1, sizeof(VoiceState));
    voice->ring = (float*)calloc(RING_FLOATS, sizeof(float));
    voice->block = (float*)calloc(BLOCK_FLOATS, sizeof(float));
    voice->note_freq = VOICE_START_FREQ;
    voice->volume = VOICE_FULL_VOLUME;
    voice->pan = VOICE_CENTRE_PAN;
    return voice;
}

void voice_destroy(Voice* voice)
{
    if (!voice) {
        return;
    }
    free(voice->state);
    free(voice->ring);
    free(voice->block);
    free(voice);
}

// TODO: rendering arrives in the next commit.
uint16_t note_to_hz(uint8_t) { return 0; }
void voice_note_on(Voice*, uint8_t) {}
void voice_trigger(Voice*, bool) {}
bool voice_render(Voice*, uint32_t) { return false; }
float waveform_value(uint8_t, float) { return 0.0f; }
float noise_next() { return 0.0f; }
void noise_reset() {}
