// The group renderer for every x86-64 processor (SSE2), and the choice of renderer at run time.
#define TAMBLIN_KERNEL_NS baseline
#include "VoiceKernels.inc"

namespace tamblin::kernels {

#if defined(TAMBLIN_AVX2_KERNELS)
namespace avx2 {
const VoiceKernels* voiceKernels();
int64_t laneMath(LaneRoutine routine, const double* arguments, float* results, int count);
}
#endif

LaneMath baselineLaneMath() { return baseline::laneMath; }

LaneMath avx2LaneMath() {
#if defined(TAMBLIN_AVX2_KERNELS)
  return avx2VoiceKernels() == bestVoiceKernels() ? avx2::laneMath : nullptr;
#else
  return nullptr;
#endif
}

const VoiceKernels* baselineVoiceKernels() { return baseline::voiceKernels(); }

const VoiceKernels* avx2VoiceKernels() {
#if defined(TAMBLIN_AVX2_KERNELS)
  return avx2::voiceKernels();
#else
  return nullptr;
#endif
}

const VoiceKernels* bestVoiceKernels() {
#if defined(TAMBLIN_AVX2_KERNELS)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return avx2::voiceKernels();
#endif
  return baseline::voiceKernels();
}

}  // namespace tamblin::kernels
