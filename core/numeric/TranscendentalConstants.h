// The constants of the sine, cosine and exponential, for the routines and the voice kernels' quick lanes.
//
// Every digit here decides samples: the accurate routines (Transcendental.cpp), the quick float paths
// beside them (Transcendental.h) and the kernels' quick lanes (core/engine/kernels/QuickMath.inc) must
// reduce and sum with the same doubles, or a lane would stray from the one-voice stage it mirrors.
#pragma once

namespace tamblin::detmath {

// 1.5 x 2^52: adding it to a double of magnitude below 2^51 rounds that double to a whole number, ties
// to even, and leaves the whole number in the sum's low bits.
constexpr double kShift = 6755399441055744.0;

// e^x = 2^k e^r with x = k ln2 + r: 1/ln2, and ln2 in two pieces, the first of 32 bits so that k x
// kLn2High is exact for every k the exponentials meet.
constexpr double kInverseLn2 = 0x1.71547652b82fep+0;
constexpr double kLn2High = 0x1.62e42feep-1;
constexpr double kLn2Low = 0x1.a39ef35793c76p-33;

// sin x and cos x from r = x - k pi/2: 2/pi, and pi/2 in six pieces of at most 20 bits, so that each
// product is exact for |k| < 2^33; together they hold pi/2 to about 126 bits. Up to pi/4 an argument
// needs no reduction.
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
constexpr double kPiOver2Pieces[6] = {0x1.921fap+0,  0x1.54442p-20, 0x1.a308cp-41,
                                      0x1.31318p-61, 0x1.8a2ep-81,  0x1.b839ap-104};
constexpr double kPiOver4 = 0.78539816339744828;

// The ring modulator's quick sine in the voice kernels, sin x from r = x - k pi: 1/pi, pi in two pieces
// (k x kPiHigh exact for the k it meets, |k| <= 2), and sin r / r as a polynomial of degree six in r^2,
// highest coefficient first, fitted for the least largest relative error over |r| <= 1.5708 (its error
// bound is worked out beside the kernel that uses it).
constexpr double kInversePi = 0x1.45f306dc9c883p-2;
constexpr double kPiHigh = 0x1.921fb54442d18p+1;
constexpr double kPiLow = 0x1.1a62633145c07p-53;
constexpr double kRingSineFit[7] = {0x1.52acdd3af21a4p-33,  -0x1.ae00fcb8646d7p-26, 0x1.71dce5a891f7cp-19,
                                    -0x1.a019fce960f4ep-13, 0x1.111111090ec7ap-7,   -0x1.5555555540b87p-3,
                                    0x1.ffffffffffdcep-1};

// 1/n! for n = 0..19, the Taylor coefficients of all three series (each the double nearest the quotient).
constexpr double kInverseFactorial[20] = {
    1.0,
    1.0,
    1.0 / 2.0,
    1.0 / 6.0,
    1.0 / 24.0,
    1.0 / 120.0,
    1.0 / 720.0,
    1.0 / 5040.0,
    1.0 / 40320.0,
    1.0 / 362880.0,
    1.0 / 3628800.0,
    1.0 / 39916800.0,
    1.0 / 479001600.0,
    1.0 / 6227020800.0,
    1.0 / 87178291200.0,
    1.0 / 1307674368000.0,
    1.0 / 20922789888000.0,
    1.0 / 355687428096000.0,
    1.0 / 6402373705728000.0,
    1.0 / 121645100408832000.0,
};

}  // namespace tamblin::detmath
