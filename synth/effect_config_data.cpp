// The built-in effect-chain configuration: fifteen units, ids 33..47.
#include "synth/effect_chain.h"

// Song channels 13 and 14 feed nothing. Echo delays count 120 ms rows.
const double EFFECT_CONFIG_BUILTIN[] = {
    15,                                  // unit count
    // type, parameters
    1, 5, 0.5,                           // 33 echo: 5 rows, gain 0.5
    10,                                  // 34 phase invert
    3, 5, 7, 1, 0.5,                     // 35 flanger: 5..7 ms, rate 1, gain 0.5
    3, 10, 12, 2, 0.5,                   // 36 flanger: 10..12 ms, rate 2, gain 0.5
    3, 20, 23, 3, 0.5,                   // 37 flanger: 20..23 ms, rate 3, gain 0.5
    8, 2000, 0.2, 0.5, 400,              // 38 swept filter: cutoff, resonance, rate, depth
    9, 0.1,                              // 39 gain 0.1
    4, 1,                                // 40 comb: 1 ms
    1, 5, 0.2,                           // 41 echo: 5 rows, gain 0.2
    1, 10, 0.1,                          // 42 echo: 10 rows, gain 0.1
    1, 15, 0.05,                         // 43 echo: 15 rows, gain 0.05
    5, 3,                                // 44 power shaper: k = 3
    2, 0.5, 0.5, 0.3, 0.8, 0.4, 0.1,     // 45 reverb: room, damping, wet, dry, width, mode
    8, 1500, 0.8, 0.5, 1000,             // 46 swept filter: cutoff, resonance, rate, depth
    9, 0.5,                              // 47 gain 0.5
    // input count, input ids (1..14 channels, 33.. units)
    1, 6,                                // 33 <- channel 6
    2, 1, 2,                             // 34 <- channels 1, 2
    7, 33, 34, 4, 5, 7, 8, 9,            // 35 <- 33, 34, channels 4, 5, 7, 8, 9
    1, 35,                               // 36
    1, 36,                               // 37
    1, 37,                               // 38
    1, 38,                               // 39
    2, 39, 37,                           // 40
    2, 40, 3,                            // 41 <- 40, channel 3
    1, 41,                               // 42
    1, 42,                               // 43
    3, 10, 11, 12,                       // 44 <- channels 10, 11, 12
    2, 43, 44,                           // 45
    1, 45,                               // 46
    1, 46,                               // 47
    // master input count, ids
    2, 45, 47,
};

const size_t EFFECT_CONFIG_BUILTIN_LENGTH =
    sizeof(EFFECT_CONFIG_BUILTIN) / sizeof(EFFECT_CONFIG_BUILTIN[0]);
