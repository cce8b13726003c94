// Scenes 3 and 4: not built yet, their steps draw nothing and their slots show black.
#include "scenes/scenes.h"

void scene3_build() {}
void scene4_build() {}

void scene3_render(float, int) {}
void scene4_render(float, int) {}
