// Music sync state: the beat and accent pulses the scenes react to.
#include "runtime/sync.h"

float demo_time = 0.0f;
uint8_t beat_flag = 0;
int32_t beat_pulse = 0;
int32_t accent_pulse = 0;

uint8_t sync_callback(uint8_t instrument)
{
    if (instrument == SYNC_BEAT_INSTRUMENT) {
        beat_pulse = SYNC_BEAT_PULSE;
        beat_flag = 1;
    } else if (instrument == SYNC_ACCENT_INSTRUMENT) {
        accent_pulse = SYNC_ACCENT_PULSE;
    }
    return instrument;
}

void sync_reset()
{
    demo_time = 0.0f;
    beat_flag = 0;
    beat_pulse = 0;
    accent_pulse = 0;
}
