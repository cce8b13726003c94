// Seeding rand() for loading and for playback.
#include "runtime/seed.h"

#include <cstdlib>
#include <ctime>

void seed_for_loading() { srand(SEED_LOADING); }

unsigned seed_for_playback(bool fixed)
{
    const unsigned seed = fixed ? SEED_CAPTURE_PLAYBACK : (unsigned)time(nullptr);
    srand(seed);
    return seed;
}

void seed_again(unsigned seed) { srand(seed); }
