// Scene toolkit: the reactions to the music's sync pulses and the recurring
// objects (the orb of scenes 2 and 8, the nested veil of scenes 1 and 2).
// Main thread only; drawing needs a GL context and the model-view matrix.
#pragma once

#include <cstdint>

struct Mesh;
struct Texture;

// Sync reactions
// The step of the frame's grid instant (sync_step): beat_pulse falls by 100
// and accent_pulse by 8 while positive, once per grid step, so 2000 reaches
// 0 in 20 steps (a third of a second) and 16 in 2, at any frame rate. A
// second frame within one step (displays above 60 Hz) takes none.
void pulse_decay();
// What a scene's render step does with the pulses every frame.
struct PulseUse {
    bool falls;             // calls pulse_decay
    int shakes_before_fall; // accent shakes (accent_shake, accent_tilt) before it
    int shakes_after_fall;  // and after it
};
// Before a frame's render step: the steps of the grid instants since the
// last frame that a 60 fps run would have taken, by what `use_at` says the
// scene shown at each did, random numbers of its accent shakes included.
void pulse_catch_up(PulseUse (*use_at)(int64_t step));
// Scales the current matrix along Z by 1 + sign x beat_pulse / 5000: up to
// 1.4 (sign +1) or 0.6 (sign -1) on a beat.
void beat_zoom(int sign);
// While accent_pulse p is not 0: three rand() draws r1, r2, r3 and a tilt of
// ((r3 mod p) / 10, (r2 mod p) / 10, (r1 mod p) / 10) degrees about X, Y, Z.
// Draws nothing from rand() when p is 0. A later frame within one grid
// step shows the shakes the step's first frame drew, drawing nothing.
void accent_shake();

// One accent shake drawn once and applied as often as needed, for a scene
// that draws other things between the shaken parts: accent_shake() is
// tilt_apply(accent_tilt()).
struct Tilt {
    bool active;      // false: no accent, nothing to turn
    float ax, ay, az; // degrees about X, Y, Z
};
Tilt accent_tilt();
void tilt_apply(const Tilt& tilt);

// Red, green and blue of g_light's diffuse colour become beat_pulse + base.
void light_flash(float base);

// The orb: one sphere drawn three ways.
struct Orb {
    Mesh* core; // radius 16 sphere, flat shaded, opaque, sphere-mapped with the core texture
    Mesh* dots; // the same faces with the dots texture, additive, drawn as points
    Mesh* husk; // scaled 1.1 and extruded into 0.6-scaled spikes, additive
};

// Builds and compiles the three meshes; the textures stay the caller's.
Orb* orb_build(const Texture* core_texture, const Texture* dots_texture);
void orb_free(Orb* orb); // meshes only; their display lists are kept
// Bobbing 45 to 85 units ahead while tumbling about a point 3 units behind
// its centre; t in seconds.
void orb_place(Orb* orb, float t);
// Core with polygon offset, dots as 3-pixel points (the point size stays),
// husk filled; sphere mapping on throughout. The same as orb_draw_core then
// orb_draw_glow.
void orb_draw(Orb* orb);
// The orb's opaque core alone, and its additive dots and husk alone: a scene
// can draw the core first, so that the depth test rejects what lies behind
// it before that is shaded, and the rest of the orb after its backdrop.
void orb_draw_core(Orb* orb);
void orb_draw_glow(Orb* orb);

// The veil: drawn twice at full size, then four copies each turned further
// and scaled 0.95 again. Rewrites veil->matrix; t in seconds.
void veil_draw(Mesh* veil, float t);
