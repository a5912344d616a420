// The eight oscillator wave tables, generated from their formulas at construction.
#include <cmath>
#include <cstring>

#include "Stages.h"
#include "Transcendental.h"

namespace tamblin::stages {

namespace {

using WaveTables = float[kWaveTables][kWaveTableSize];

void computeWaveTables(WaveTables& table) {
  for (int i = 0; i < kWaveTableSize; ++i) {
    // p and q are floats; each table value is then computed in double and rounded once when stored.
    // The period's ends are both included (p runs from 0 to 1).
    const float p = static_cast<float>(i) / 4095.0f;
    const float q = 6.28318f * p;
    const double pd = static_cast<double>(p);
    const double qd = static_cast<double>(q);
    table[0][i] = static_cast<float>(2.0 * pd - 1.0);
    // Table 1 stays unbuilt: wave type 1 is a pulse compared against the phase.
    table[2][i] = static_cast<float>(2.0 * (pd * pd * pd * pd) - 1.0);
    table[3][i] = static_cast<float>(std::fabs(4.0 * pd - 2.0) - 1.0);
    table[4][i] = static_cast<float>(detmath::sin(qd) + detmath::sin(3.0 * qd) / 3.0 + detmath::sin(5.0 * qd) / 5.0 +
                                           detmath::sin(7.0 * qd) / 7.0 + detmath::sin(9.0 * qd) / 9.0);
    double octaves = 0.0;
    double amplitude = 2.0;
    for (double m = 2.0; m <= 64.0; m *= 2.0) {
      octaves += detmath::sin(m * pd * 3.14159) / amplitude;
      amplitude *= 2.0;
    }
    table[5][i] = static_cast<float>(1.5 * octaves);
    table[6][i] = static_cast<float>(
        (detmath::sin(qd) + detmath::sin(2.0 * qd) / 2.0 + detmath::sin(3.0 * qd) / 4.0 + detmath::sin(4.0 * qd) / 8.0) / 1.41);
    table[7][i] = static_cast<float>(
        (detmath::sin(qd) + 0.8 * detmath::sin(7.0 * qd) + 0.6 * detmath::sin(9.0 * qd) + 0.4 * detmath::sin(13.0 * qd)) / 1.9);
  }
}

// The tables depend on nothing but their formulas, so they are computed once per process, when the
// first engine is built (about 2 ms), and every later engine copies them (a few microseconds): a host
// opening fifty instances does not wait for fifty computations. Each record still holds its own copy.
const WaveTables& computedWaveTables() {
  static const struct Computed {
    WaveTables table{};
    Computed() { computeWaveTables(table); }
  } computed;
  return computed.table;
}

}  // namespace

void buildWaveTables(EngineRecord& r) { std::memcpy(r.waveTable, computedWaveTables(), sizeof r.waveTable); }

}  // namespace tamblin::stages
