// The golden line of a render, as the native tests write it: the program, FNV-1a over every sample's bit
// pattern (left and right interleaved), then left:right bit patterns at the spot frames.
import { kPhrase, kSpotFrames } from './phrase.js';
import { EventKind } from './player.js';

// FNV-1a (with tests/support/GoldenPhrase.h's starting value), 64 bits held as two 32-bit halves: the prime is 2^40 + 0x1b3, so a product is the low half
// times 0x1b3 (exact in a double) plus the high half's share and the low half shifted by 40.
export function samplesHash(left, right) {
  const l = new Uint32Array(left.buffer, left.byteOffset, left.length);
  const r = new Uint32Array(right.buffer, right.byteOffset, right.length);
  // The starting value the native tests use: 1469598103934665603.
  let lo = 0x739d0383, hi = 0x14650fb0;
  const mixByte = (byte) => {
    lo = (lo ^ byte) >>> 0;
    const low = lo * 0x1b3;
    const carry = Math.floor(low / 4294967296);
    hi = (Math.imul(hi, 0x1b3) + carry + (lo << 8)) >>> 0;
    lo = low >>> 0;
  };
  const mixWord = (bits) => {
    mixByte(bits & 0xff);
    mixByte((bits >>> 8) & 0xff);
    mixByte((bits >>> 16) & 0xff);
    mixByte(bits >>> 24);
  };
  const n = Math.min(l.length, r.length);
  for (let k = 0; k < n; ++k) {
    mixWord(l[k]);
    mixWord(r[k]);
  }
  return hi.toString(16).padStart(8, '0') + lo.toString(16).padStart(8, '0');
}

function bitsOf(samples, frame) {
  return new Uint32Array(samples.buffer, samples.byteOffset + frame * 4, 1)[0].toString(16).padStart(8, '0');
}

export function goldenLine(program, left, right) {
  let line = `${program} ${samplesHash(left, right)}`;
  for (const frame of kSpotFrames) line += ` ${bitsOf(left, frame)}:${bitsOf(right, frame)}`;
  return line;
}

// The phrase as player events, after selecting the program at frame 0.
export function phraseEvents(program) {
  const events = [[0, EventKind.program, program]];
  for (const [frame, status, data1, data2] of kPhrase) events.push([frame, EventKind.midi, status, data1, data2]);
  return events;
}
