// Short vectors for the synthesizer's inner loops. Each lane rounds exactly as
// the scalar code would, so vector and scalar paths give the same samples.
#pragma once

#include <cstdint>

// Four floats (or four 32-bit integers) in one SSE register.
typedef float Float4 __attribute__((vector_size(16)));
typedef int32_t Int4 __attribute__((vector_size(16)));
