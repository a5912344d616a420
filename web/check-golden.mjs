// Renders the golden phrase of every factory program through both modules of a built page under node,
// in the worklet's 128-frame blocks, and compares the lines with the golden file.
// Usage: node check-golden.mjs <built page folder> <golden file>
import { readFileSync } from 'node:fs';
import { resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const [pageDir, goldenFile] = process.argv.slice(2);
if (!pageDir || !goldenFile) {
  console.error('usage: node check-golden.mjs <built page folder> <golden file>');
  process.exit(2);
}
const page = (name) => pathToFileURL(resolve(pageDir, name)).href;
const { Player, instantiateSync } = await import(page('player.js'));
const { goldenLine, phraseEvents } = await import(page('golden.js'));
const { kPhraseFrames, kPhraseRate } = await import(page('phrase.js'));

const golden = readFileSync(goldenFile, 'utf8').split('\n').filter((l) => l && !l.startsWith('#'));
const kBlock = 128;
let failures = 0;
for (const build of ['tamblin-simd.wasm', 'tamblin-scalar.wasm']) {
  const bytes = readFileSync(resolve(pageDir, build));
  let seconds = 0;
  for (let program = 0; program < golden.length; ++program) {
    const player = new Player(instantiateSync(bytes), kPhraseRate);
    for (const e of phraseEvents(program)) player.add(e);
    const left = new Float32Array(kPhraseFrames), right = new Float32Array(kPhraseFrames);
    const block = [new Float32Array(kBlock), new Float32Array(kBlock)];
    const began = process.hrtime.bigint();
    for (let start = 0; start < kPhraseFrames; start += kBlock) {
      const n = Math.min(kBlock, kPhraseFrames - start);
      player.process(block[0], block[1], start, n);
      left.set(block[0].subarray(0, n), start);
      right.set(block[1].subarray(0, n), start);
    }
    seconds += Number(process.hrtime.bigint() - began) / 1e9;
    const line = goldenLine(program, left, right);
    if (line !== golden[program]) {
      ++failures;
      console.log(`${build}: program ${program} differs\n  got      ${line}\n  expected ${golden[program]}`);
    }
  }
  const audio = (golden.length * kPhraseFrames) / kPhraseRate;
  console.log(`${build}: ${bytes.length} bytes, ${golden.length} programs rendered at ${(audio / seconds).toFixed(0)}x real time`);
}
console.log(`${failures === 0 ? 2 * golden.length : 2 * golden.length - failures} passed, ${failures} failed`);
process.exit(failures === 0 ? 0 : 1);
