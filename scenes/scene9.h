// Scene 9: the snowflakes, which move by integrating their velocities.
#pragma once

#include "geometry/vec3.h"

struct Mesh;

struct Flake {
    Vec3 position; // scene units, in front of the flake camera
    Vec3 velocity; // units per second; z is always 0
    Mesh* mesh;    // small glowing spiky sphere, additive
};

const int FLAKE_COUNT = 35;
// Longest time step a frame integrates, in seconds: a stall does not throw
// the flakes far.
const float FLAKE_MAX_STEP = 0.2f;
// A flake that falls below FLAKE_FLOOR starts again at FLAKE_CEILING.
const float FLAKE_FLOOR = -8.0f;
const float FLAKE_CEILING = 14.0f;

// Moves the flake by dt seconds of its velocity, then wraps it to the top.
void flake_move(Flake* flake, float dt);
// The 35 flakes of the loaded scene, in build order.
Flake* scene9_flakes();
// The flakes back where loading put them.
void scene9_rewind();
