// The one owner of rand()'s seeding. Every random number the pictures use
// comes from the system's rand(), and two moments decide which:
// - loading: the build steps draw noise textures, star and flake positions
//   from a generator seeded with 1, so the loaded scenes are the same on
//   every run, in the window and in a capture alike;
// - playback: the render steps draw the few numbers that vary (scene 4's
//   offsets, the accent's shake) from a seed of their own, the time in the
//   window and 1 in a capture, so that a capture gives the same bytes every
//   time. A restart of playback (--loop) seeds the same again.
// The draws themselves stay where they are, in the order the recipes give.
#pragma once

const unsigned SEED_LOADING = 1;
const unsigned SEED_CAPTURE_PLAYBACK = 1;

// Before the first build step.
void seed_for_loading();
// At the start of playback: the time when `fixed` is false (the window),
// else SEED_CAPTURE_PLAYBACK. Returns the seed, for seed_again.
unsigned seed_for_playback(bool fixed);
// At a restart of playback: the numbers of the first start again.
void seed_again(unsigned seed);
