// Snapshots of a player's state between blocks: saved into and restored from one flat record.
#include "synth/player_local.h"

#include "synth/effect_chain.h"

#include <cstdlib>
#include <cstring>
#include <vector>

// An echo line frame the writer has passed, and one a tap reads before that.
static const uint8_t ECHO_WRITTEN = 1;
static const uint8_t ECHO_LIVE = 2;
// Instrument index of a silent voice.
static const int32_t NO_INSTRUMENT = -1;

// ---- The record as a tape -------------------------------------------------

// One walk over the state serves both ways: saving copies each piece onto
// the tape, restoring copies it back, so the two can never disagree.
struct Tape {
    uint8_t* data;
    size_t capacity;
    size_t at;
    bool saving;
    bool overflow;
};

static void tape_bytes(Tape* tape, void* piece, size_t bytes)
{
    if (tape->overflow || bytes > tape->capacity - tape->at) {
        tape->overflow = true;
        return;
    }
    if (tape->saving) memcpy(tape->data + tape->at, piece, bytes);
    else memcpy(piece, tape->data + tape->at, bytes);
    tape->at += bytes;
}

template <typename T> static void tape_value(Tape* tape, T* value) { tape_bytes(tape, value, sizeof *value); }

// `count` floats of a ring of `length` floats from `start`, wrapping.
static void tape_ring(Tape* tape, float* ring, uint32_t length, uint32_t start, uint32_t count)
{
    const uint32_t first = count < length - start ? count : length - start;
    tape_bytes(tape, ring + start, first * sizeof(float));
    tape_bytes(tape, ring, (count - first) * sizeof(float));
}

// ---- Voices ---------------------------------------------------------------

static int32_t instrument_index(const Song* song, const Instrument* instrument)
{
    for (int32_t i = 0; i < song->instrument_count; i++) {
        if (song->instruments[i] == instrument) return i;
    }
    return NO_INSTRUMENT;
}

// A voice's fields and the sound it rendered that the chain has not taken:
// the `pending` floats from read_pos. The rest of the ring is never read
// before it is written again.
static void voice_walk(Tape* tape, const Song* song, Voice* voice, uint32_t pending)
{
    int32_t instrument = tape->saving ? instrument_index(song, voice->instrument) : 0;
    tape_value(tape, &instrument);
    if (!tape->saving) {
        voice->instrument = instrument >= 0 && instrument < song->instrument_count
            ? song->instruments[instrument] : nullptr;
    }
    tape_value(tape, &voice->time);
    tape_value(tape, voice->state);
    tape_value(tape, &voice->write_pos);
    tape_value(tape, &voice->read_pos);
    tape_value(tape, &voice->note_freq);
    tape_value(tape, &voice->volume);
    tape_value(tape, &voice->pan);
    if (voice->read_pos >= RING_FLOATS || pending > RING_FLOATS) {
        tape->overflow = true;
        return;
    }
    tape_ring(tape, voice->ring, RING_FLOATS, voice->read_pos, pending);
}

// ---- Echo lines -----------------------------------------------------------

// Marks the line frames the taps will read before the writer reaches them,
// following the pointers exactly as echo_unit_process moves them, frame by
// frame, for one whole turn of the writer (after which every frame it could
// read has been written again).
static void echo_live_mark(const EchoUnit* unit, uint8_t* marks)
{
    uint32_t w = unit->write_pos, a = unit->tap_a_pos, b = unit->tap_b_pos;
    uint32_t wc = unit->write_count, ac = unit->tap_a_count, bc = unit->tap_b_count;
    memset(marks, 0, ECHO_LINE_FRAMES);
    for (uint32_t f = 0; f < ECHO_LINE_FRAMES + 1; f++) {
        if (w < ECHO_LINE_FRAMES) marks[w] |= ECHO_WRITTEN;
        if (a < ECHO_LINE_FRAMES && !(marks[a] & ECHO_WRITTEN)) marks[a] |= ECHO_LIVE;
        if (b < ECHO_LINE_FRAMES && !(marks[b] & ECHO_WRITTEN)) marks[b] |= ECHO_LIVE;
        w++, a++, b++;
        if (++wc > ECHO_LINE_FRAMES - 1) { wc = 0; w = 0; }
        if (++ac > ECHO_LINE_FRAMES - 1) { ac = 0; a = 0; }
        if (++bc > ECHO_LINE_FRAMES - 1) { bc = 0; b = 0; }
        if (a >= ECHO_LINE_FRAMES) a = 0;
        if (b >= ECHO_LINE_FRAMES) b = 0;
    }
}

// A run of live frames: start frame and count, then the taps' sample of
// each (the second input sample, stored first in a frame).
static void echo_run_walk(Tape* tape, float* line, uint32_t start, uint32_t count)
{
    for (uint32_t i = 0; i < count && !tape->overflow; i++) tape_value(tape, &line[2 * (start + i)]);
}

static void echo_walk(Tape* tape, EchoUnit* unit)
{
    tape_value(tape, &unit->write_pos);
    tape_value(tape, &unit->tap_a_pos);
    tape_value(tape, &unit->tap_b_pos);
    tape_value(tape, &unit->write_count);
    tape_value(tape, &unit->tap_a_count);
    tape_value(tape, &unit->tap_b_count);
    if (!tape->saving) {
        uint32_t runs = 0;
        tape_value(tape, &runs);
        for (uint32_t r = 0; r < runs && !tape->overflow; r++) {
            uint32_t run[2] = {0, 0};
            tape_value(tape, &run);
            if (run[0] > ECHO_LINE_FRAMES || run[1] > ECHO_LINE_FRAMES - run[0]) tape->overflow = true;
            else echo_run_walk(tape, unit->line, run[0], run[1]);
        }
        return;
    }
    std::vector<uint8_t> marks(ECHO_LINE_FRAMES);
    echo_live_mark(unit, marks.data());
    std::vector<uint32_t> runs;
    for (uint32_t f = 0; f < ECHO_LINE_FRAMES; f++) {
        if (!(marks[f] & ECHO_LIVE)) continue;
        if (!runs.empty() && runs[runs.size() - 2] + runs.back() == f) runs.back()++;
        else runs.insert(runs.end(), {f, 1});
    }
    uint32_t count = (uint32_t)(runs.size() / 2);
    tape_value(tape, &count);
    for (size_t r = 0; r < runs.size(); r += 2) {
        tape_bytes(tape, &runs[r], 2 * sizeof(uint32_t));
        echo_run_walk(tape, unit->line, runs[r], runs[r + 1]);
    }
}

// ---- Other units ----------------------------------------------------------

static void reverb_walk(Tape* tape, ReverbUnit* unit)
{
    ReverbComb* combs[2] = {unit->combs_a, unit->combs_b};
    ReverbStage* stages[2] = {unit->stages_a, unit->stages_b};
    for (int side = 0; side < 2; side++) {
        for (int i = 0; i < REVERB_COMBS; i++) {
            ReverbComb* comb = &combs[side][i];
            tape_value(tape, &comb->store);
            tape_value(tape, &comb->position);
            tape_bytes(tape, comb->line, comb->length * sizeof(float));
        }
        for (int i = 0; i < REVERB_STAGES; i++) {
            ReverbStage* stage = &stages[side][i];
            tape_value(tape, &stage->position);
            tape_bytes(tape, stage->line, stage->length * sizeof(float));
        }
    }
}

static void swept_filter_walk(Tape* tape, SweptFilterUnit* unit)
{
    float* live[] = {&unit->sweep_phase, &unit->cutoff, &unit->high_a, &unit->low_a, &unit->band_a,
                     &unit->coef_a, &unit->high_b, &unit->low_b, &unit->band_b, &unit->coef_b};
    for (float* value : live) tape_value(tape, value);
}

// The live state of one unit; the types without any have nothing to walk.
static void unit_walk(Tape* tape, EffectUnit* unit)
{
    switch (unit->type) {
    case UNIT_ECHO: echo_walk(tape, unit->state.echo); break;
    case UNIT_REVERB: reverb_walk(tape, unit->state.reverb); break;
    case UNIT_FLANGER: {
        FlangerUnit* flanger = unit->state.flanger;
        tape_value(tape, &flanger->clock);
        tape_value(tape, &flanger->write_index);
        tape_value(tape, &flanger->current_delay);
        tape_bytes(tape, flanger->line, 2 * (size_t)flanger->length * sizeof(float));
        break;
    }
    case UNIT_COMB: {
        CombUnit* comb = unit->state.comb;
        tape_value(tape, &comb->index);
        tape_bytes(tape, comb->line, 2 * (size_t)comb->length * sizeof(float));
        break;
    }
    case UNIT_SWEPT_FILTER: swept_filter_walk(tape, unit->state.swept_filter); break;
    default: break;
    }
}

// A unit's output is still to be read in the next block when the unit
// itself or one running before it takes it as an input.
static bool output_read_early(const EffectChain* chain, uint32_t j)
{
    const float* output = chain->units[j]->output;
    for (uint32_t u = 0; u <= j; u++) {
        const EffectUnit* unit = chain->units[u];
        for (uint32_t i = 0; i < unit->input_count; i++) {
            if (unit->inputs[i] == output) return true;
        }
    }
    return false;
}

// ---- The whole player -----------------------------------------------------

static void player_walk(Tape* tape, Player* player)
{
    tape_value(tape, &player->block);
    tape_value(tape, &player->row);
    tape_value(tape, &player->tick);
    tape_value(tape, &player->tick_ms);
    tape_value(tape, &player->tick_frames);
    tape_value(tape, &player->pending_floats);
    tape_value(tape, &player->song->tempo);
    tape_value(tape, &player->song->speed);
    tape_value(tape, &player->noise_word);
    for (uint32_t i = 0; i < player->song->channel_count; i++) {
        voice_walk(tape, player->song, player->voices[i], player->pending_floats);
    }
    EffectChain* chain = player->chain;
    for (uint32_t j = 0; j < chain->unit_count; j++) {
        unit_walk(tape, chain->units[j]);
        if (output_read_early(chain, j)) tape_bytes(tape, chain->units[j]->output, BLOCK_FLOATS * sizeof(float));
    }
}

// ---- Public ---------------------------------------------------------------

// The fixed fields, the pending sound of every voice at its most (two ticks,
// or the whole ring), every line in full and every early-read output.
size_t player_snapshot_capacity(const Player* player)
{
    const size_t floats = sizeof(float);
    uint64_t pending = 2 * (uint64_t)(player->tick_frames & 0xFFFF);
    if (pending > RING_FLOATS) pending = RING_FLOATS;
    size_t bytes = 64 + player->song->channel_count * (sizeof(Voice) + sizeof(VoiceState) + pending * floats);
    const EffectChain* chain = player->chain;
    for (uint32_t j = 0; j < chain->unit_count; j++) {
        const EffectUnit* unit = chain->units[j];
        bytes += sizeof(EffectUnit) + BLOCK_FLOATS * floats;
        switch (unit->type) {
        case UNIT_ECHO: bytes += sizeof(EchoUnit) + ECHO_LINE_FRAMES * (floats + sizeof(uint32_t)); break;
        case UNIT_REVERB: bytes += sizeof(ReverbUnit) + REVERB_LINE_FLOATS * floats; break;
        case UNIT_FLANGER: bytes += sizeof(FlangerUnit) + 2 * (size_t)unit->state.flanger->length * floats; break;
        case UNIT_COMB: bytes += sizeof(CombUnit) + 2 * (size_t)unit->state.comb->length * floats; break;
        case UNIT_SWEPT_FILTER: bytes += sizeof(SweptFilterUnit); break;
        default: break;
        }
    }
    return bytes;
}

PlayerSnapshot* player_snapshot_create(size_t capacity)
{
    PlayerSnapshot* snapshot = (PlayerSnapshot*)calloc(1, sizeof(PlayerSnapshot));
    if (!snapshot) return nullptr;
    snapshot->data = (uint8_t*)malloc(capacity > 0 ? capacity : 1);
    if (!snapshot->data) {
        free(snapshot);
        return nullptr;
    }
    snapshot->capacity = capacity;
    return snapshot;
}

void player_snapshot_destroy(PlayerSnapshot* snapshot)
{
    if (!snapshot) return;
    free(snapshot->data);
    free(snapshot);
}

bool player_snapshot_save(const Player* player, PlayerSnapshot* snapshot)
{
    Tape tape = {snapshot->data, snapshot->capacity, 0, true, false};
    // Saving only reads the player; the walk is shared with restoring.
    player_walk(&tape, const_cast<Player*>(player));
    snapshot->used = tape.overflow ? 0 : tape.at;
    snapshot->block = player->block;
    return !tape.overflow;
}

void player_snapshot_restore(Player* player, const PlayerSnapshot* snapshot)
{
    Tape tape = {snapshot->data, snapshot->used, 0, false, false};
    player_walk(&tape, player);
}
