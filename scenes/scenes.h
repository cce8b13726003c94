// The scenes: each a build step run once behind the loading screen and a
// render step run every frame with the scene time t (seconds from the scene's
// start) and first_frame (1 on the first frame after another scene).
#pragma once

// Build steps, run in load order: 8, 4, 5, 7, 6, hidden, 3, 1, 2, 9.
void scene1_build();
void scene2_build(); // draws scene 1's veil: build after scene 1
void scene3_build();
void scene4_build();
void scene5_build();
void scene6_build();
void scene7_build();
void scene8_build();
void scene9_build();
void hidden_build(); // objects for no shown scene; keeps the count of ten

// Puts back what the render steps build up over time (scene 7's spin, scene
// 9's flakes) as loading left it, so the timeline can play again from its
// start as at the first start.
void scenes_rewind();

// Render steps, drawn into the letterbox viewport with colour and depth cleared.
void scene1_render(float t, int first_frame);
void scene2_render(float t, int first_frame);
void scene3_render(float t, int first_frame);
void scene4_render(float t, int first_frame);
void scene5_render(float t, int first_frame);
void scene6_render(float t, int first_frame);
void scene7_render(float t, int first_frame);
void scene8_render(float t, int first_frame);
void scene9_render(float t, int first_frame);
