// The group renderer for processors with AVX2 and FMA: the same operations, eight lanes to a register; fused
// multiply-adds only where written out, in the quick lanes and the computed ramp, whose results they cannot
// change. Only the renderer's own code is compiled for AVX2 (the target pragma comes after every header), so
// that no shared inline function is ever emitted with AVX2 instructions for the rest of the library to pick up.
#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "LaneMath.h"
#include "Numeric.h"
#include "Stages.h"
#include "VoiceKernels.h"

#pragma GCC push_options
#pragma GCC target("avx2,fma")
#define TAMBLIN_KERNEL_NS avx2
#define TAMBLIN_KERNEL_AVX2 1
#include "VoiceKernels.inc"
#pragma GCC pop_options
