// The sequencer: cells to voices, tick by tick, then one tick of rendering.
#include "synth/sequencer.h"

#include <cstring>


// Tone portamento moves 4 Hz per tick for each unit of the parameter.
static const float PORTAMENTO_STEP = 4.0f;
// Slide down stops at 1 Hz.
static const float SLIDE_DOWN_FLOOR = 1.0f;
// Effect 7: parameters below 32 are speeds, the rest tempos.
static const uint8_t FIRST_TEMPO_PARAM = 32;
static const int VOLUME_MAX = 64;

static void slide(Voice* voice, float delta, bool floor)
{
    if (!voice->instrument) return;
    for (int j = 0; j < OSC_COUNT; j++) {
        if (!voice->instrument->osc[j].enabled) continue;
        float f = voice->state->freq[j] + delta;
        if (floor && f < SLIDE_DOWN_FLOOR) f = SLIDE_DOWN_FLOOR;
        voice->state->freq[j] = f;
    }
}

// Each enabled oscillator moves 4 x p Hz towards the note times its multiplier.
static void portamento(Voice* voice, uint8_t note, uint8_t p)
{
    if (note == 0 || !voice->instrument) return;
    const float base = (float)note_to_hz(note);
    const float step = PORTAMENTO_STEP * p;
    for (int j = 0; j < OSC_COUNT; j++) {
        const InstrumentOscillator* osc = &voice->instrument->osc[j];
        if (!osc->enabled) continue;
        const float target = base * osc->freq_mul;
        float* f = &voice->state->freq[j];
        if (target > *f) {
            *f += step;
            if (*f > target) *f = target;
        } else if (*f > target) {
            *f -= step;
            if (*f < target) *f = target;
        }
    }
}

static void volume_slide(Voice* voice, uint8_t p)
{
    int v = (int)voice->volume + (p / 16) - (p % 16);
    if (v < 0) v = 0;
    if (v > VOLUME_MAX) v = VOLUME_MAX;
    voice->volume = (float)v;
}

static void apply_effect(Player* player, Voice* voice, const Cell* cell)
{
    const uint8_t p = cell->param;
    switch (cell->effect) {
    case FX_SLIDE_UP: slide(voice, p, false); break;
    case FX_SLIDE_DOWN: slide(voice, -(float)p, true); break;
    case FX_PORTAMENTO: portamento(voice, cell->note, p); break;
    case FX_SET_PAN:
        if (player->tick == 0) voice->pan = p;
        break;
    case FX_VOLUME_SLIDE: volume_slide(voice, p); break;
    case FX_RETRIGGER:
        // A parameter of 0 would divide by zero: no effect.
        if (p != 0 && player->tick % p == 0 && voice->instrument) voice_trigger(voice, false);
        break;
    case FX_SPEED_TEMPO:
        if (player->tick != 0) break;
        if (p < FIRST_TEMPO_PARAM) player->song->speed = p;
        else player->song->tempo = p;
        break;
    default: break;
    }
}

// Tick 0: note start (or the portamento target's volume and pan reset), then
// the volume column, which overrides the reset to 64.
static void start_note(Player* player, Voice* voice, const Cell* cell)
{
    if (cell->note != 0 && cell->instrument != 0) {
        if (cell->effect != FX_PORTAMENTO) {
            voice->instrument = player->song->instruments[cell->instrument - 1];
            voice_note_on(voice, cell->note);
        } else {
            voice->volume = VOICE_FULL_VOLUME;
            voice->pan = VOICE_CENTRE_PAN;
        }
    }
    if (cell->volume != 0) voice->volume = (float)(cell->volume - 1);
}

static void cell_pass(Player* player)
{
    const Song* song = player->song;
    for (uint32_t i = 0; i < song->channel_count; i++) {
        Voice* voice = player->voices[i];
        const Cell* cell = song_cell(song, (uint32_t)player->row, i);
        if (player->row_callback) player->row_callback(cell->instrument, player->block);
        if (player->effect_callback) player->effect_callback(cell->effect, cell->param);
        if (player->tick == 0) start_note(player, voice, cell);
        apply_effect(player, voice, cell);
    }
}

// tick_frames zero frames at write_pos, wrapping at the ring's end.
static void write_silence(Voice* voice, uint32_t frames)
{
    uint32_t pos = voice->write_pos;
    if (pos + 2 * frames < RING_FLOATS) {
        memset(voice->ring + pos, 0, 2 * frames * sizeof(float));
        voice->write_pos = pos + 2 * frames;
        return;
    }
    for (uint32_t f = 0; f < frames; f++) {
        voice->ring[pos] = 0.0f;
        voice->ring[pos + 1] = 0.0f;
        pos += 2;
        if (pos >= RING_FLOATS) pos = 0;
    }
    voice->write_pos = pos;
}

static void render_pass(Player* player)
{
    const uint32_t frames = player->tick_frames & 0xFFFF;
    for (uint32_t i = 0; i < player->song->channel_count; i++) {
        Voice* voice = player->voices[i];
        if (!voice->instrument) {
            write_silence(voice, frames);
        } else if (!voice_render(voice, frames)) {
            voice->instrument = nullptr;
        }
    }
    player->pending_floats += 2 * frames;
}

// After the end of a song that does not loop: no cell is read, every voice is
// silenced, and the ticks keep the rings and pending_floats moving so the
// chain's echoes and reverb can ring out.
static bool ended_tick(Player* player)
{
    for (uint32_t i = 0; i < player->song->channel_count; i++) player->voices[i]->instrument = nullptr;
    render_pass(player);
    return false;
}

bool sequencer_tick(Player* player)
{
    Song* song = player->song;
    if (player->row < 0 || player->row >= (int32_t)song->row_count) return ended_tick(player);

    cell_pass(player);
    render_pass(player);

    // The speed is read now, so a speed set on this tick already counts.
    player->tick++;
    if (player->tick < song->speed) return true;
    player->tick = 0;
    player->row++;
    if (player->row != (int32_t)song->row_count) return true;
    if (player->loop) {
        player->row = 0;
        return true;
    }
    return false;
}
