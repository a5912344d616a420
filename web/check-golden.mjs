// Renders the golden phrase of every factory program through both modules of a built page under node,
// in the worklet's 128-frame blocks, and compares the lines with the golden file; and checks that
// parameter and program changes inside a block act on their frames, and that the editor draws.
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
const { EventKind, Player, instantiateSync } = await import(page('player.js'));
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
// A parameter change and a program change inside a block act on their frames: the same samples as
// blocks that end there with the change made between them, and not those of the change a block later.
function renderPlan(bytes, events, plan, frames) {
  const player = new Player(instantiateSync(bytes), kPhraseRate);
  for (const e of phraseEvents(3)) player.add(e);
  for (const e of events) player.add(e);
  const left = new Float32Array(frames), right = new Float32Array(frames);
  let start = 0;
  for (const step of plan) {
    if (typeof step === 'function') {
      step(player);
      continue;
    }
    const l = new Float32Array(step), r = new Float32Array(step);
    player.process(l, r, start, step);
    left.set(l, start);
    right.set(r, start);
    start += step;
  }
  return new Uint32Array([...left, ...right].map((x) => new Uint32Array(new Float32Array([x]).buffer)[0]));
}
const same = (a, b) => a.length === b.length && a.every((x, k) => x === b[k]);
let checks = 2 * golden.length;
for (const [what, event, apply] of [
  ['a parameter change', [1000, EventKind.parameter, 0, 0.3], (p) => p.x.tamblin_set_parameter(0, 0.3)],
  ['a program change', [1000, EventKind.program, 9], (p) => p.x.tamblin_select_program(9)]]) {
  const bytes = readFileSync(resolve(pageDir, 'tamblin-simd.wasm'));
  const blocks = (n) => Array(Math.floor(n / 128)).fill(128).concat(n % 128 ? [n % 128] : []);
  const inBlocks = renderPlan(bytes, [event], blocks(3000), 3000);
  const split = renderPlan(bytes, [], [...blocks(1000), apply, ...blocks(2000)], 3000);
  const late = renderPlan(bytes, [], [...blocks(1024), apply, ...blocks(1976)], 3000);
  const ok = same(inBlocks, split) && !same(inBlocks, late);
  checks += 1;
  if (!ok) ++failures;
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what} at frame 1000 inside a 128-frame block acts on its frame`);
}
// Both modules build the editor in an instance with the instrument beside it (the page's use) and draw
// the whole window.
for (const build of ['tamblin-simd.wasm', 'tamblin-scalar.wasm']) {
  const x = instantiateSync(readFileSync(resolve(pageDir, build)));
  const built = x.tamblin_create(kPhraseRate) === 1 && x.tamblin_editor_create() === 1 && x.tamblin_editor_take_dirty() === 1;
  const [left, top, right, bottom] = built ? new Int32Array(x.memory.buffer, x.tamblin_editor_dirty_rect(), 4) : [0, 0, 0, 0];
  const width = x.tamblin_editor_width(), height = x.tamblin_editor_height();
  const pixels = new Uint32Array(x.memory.buffer, x.tamblin_editor_pixels(), width * height);
  const colours = new Set(pixels).size;
  const ok = built && left === 0 && top === 0 && right === width && bottom === height && colours > 50;
  checks += 1;
  if (!ok) ++failures;
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${build} draws the ${width}x${height} editor (${colours} colours)`);
}
console.log(`${checks - failures} passed, ${failures} failed`);
process.exit(failures === 0 ? 0 : 1);
