// Scenes 5 and 6: not built yet, their steps draw nothing and their slots show black.
#include "scenes/scenes.h"

void scene5_build() {}
void scene6_build() {}

void scene5_render(float, int) {}
void scene6_render(float, int) {}
