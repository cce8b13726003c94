// Scenes 7 and 8: not built yet, their steps draw nothing and their slots show black.
#include "scenes/scenes.h"

void scene7_build() {}
void scene8_build() {}

void scene7_render(float, int) {}
void scene8_render(float, int) {}
