// Music sync state: the beat and accent pulses the scenes react to.
#include "runtime/sync.h"

#include <cmath>

float demo_time = 0.0f;
uint8_t beat_flag = 0;
int32_t beat_pulse = 0;
int32_t accent_pulse = 0;
int64_t sync_step = 0;
int64_t beat_stepped = -1;
int64_t accent_stepped = -1;
int64_t sync_frame = 0;
int64_t sync_reset_frame = 0;

// Music frames per 60 fps frame, and per block.
static const int64_t FRAMES_PER_STEP = 735;
static const int64_t FRAMES_PER_BLOCK = 2048;
// Times are floats: a frame's own grid time may come out a hair below it.
static const double STEP_TOLERANCE = 0.01;

int64_t sync_step_at(float seconds)
{
    return (int64_t)std::floor((double)seconds * SYNC_STEPS_PER_SECOND + STEP_TOLERANCE);
}

int64_t sync_first_step(uint64_t block) { return (int64_t)block * FRAMES_PER_BLOCK / FRAMES_PER_STEP + 1; }

void sync_frame_begin(float seconds)
{
    sync_step = sync_step_at(seconds);
    sync_frame++;
}

uint8_t sync_callback(uint8_t instrument, uint64_t block)
{
    if (instrument == SYNC_BEAT_INSTRUMENT) {
        beat_pulse = SYNC_BEAT_PULSE;
        beat_flag = 1;
        beat_stepped = sync_first_step(block) - 1;
    } else if (instrument == SYNC_ACCENT_INSTRUMENT) {
        accent_pulse = SYNC_ACCENT_PULSE;
        accent_stepped = sync_first_step(block) - 1;
    }
    return instrument;
}

void sync_reset()
{
    demo_time = 0.0f;
    beat_flag = 0;
    beat_pulse = 0;
    accent_pulse = 0;
    sync_step = 0;
    beat_stepped = -1;
    accent_stepped = -1;
    sync_reset_frame = sync_frame;
}
