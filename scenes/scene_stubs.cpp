// Scenes not built yet: their steps draw nothing, so their slots show black.
#include "scenes/scenes.h"

void scene3_build() {}
void scene4_build() {}
void scene5_build() {}
void scene6_build() {}
void scene7_build() {}
void scene8_build() {}
void scene9_build() {}

void scene3_render(float, int) {}
void scene4_render(float, int) {}
void scene5_render(float, int) {}
void scene6_render(float, int) {}
void scene7_render(float, int) {}
void scene8_render(float, int) {}
void scene9_render(float, int) {}
