// Scene 9: not built yet, its steps draw nothing and its slot shows black.
#include "scenes/scenes.h"

void scene9_build() {}

void scene9_render(float, int) {}
