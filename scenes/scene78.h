// Scenes 7 and 8: what the tests look at in the loaded scenes.
#pragma once

struct Mesh;

// Degrees the beats have added to the urchin's turn since program start:
// 40 for every frame of scene 7 that found the beat flag set. Never falls.
float scene7_spin();
// Back to no spin, as after loading.
void scene7_rewind();
// The urchin, 40 units ahead, turned by 20 t + spin degrees about every axis.
const Mesh* scene7_urchin();
// The lattice room: the flipped 300-unit box, then 1536 bars, one group each.
const Mesh* scene8_lattice_room();
