// Drives headless Chromium through the DevTools protocol against a served page: the self-test's golden
// lines (SIMD and scalar modules); the message a browser without AudioWorklet gets; then the playable
// page: the editor drawn, audio started by a click, a click on a choice box, a drag on a dial, a menu item
// and a gate step changing parameters in the editor and in the worklet's instrument, the program menu,
// the computer and on-screen keyboards sounding, and a screenshot.
// Usage: node check-page.mjs <page url> <golden file> <screenshot.png>
import { spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

const [pageUrl, goldenFile, screenshotFile] = process.argv.slice(2);
if (!pageUrl || !goldenFile || !screenshotFile) {
  console.error('usage: node check-page.mjs <page url> <golden file> <screenshot.png>');
  process.exit(2);
}
const chromiumPath = process.env.TAMBLIN_CHROMIUM || '/usr/bin/chromium';
const kWaveType1 = 6, kFilterType = 30, kFilterFrequency = 31, kGatePatternVolume = 92;
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
let passed = 0, failed = 0;
function check(ok, what, detail = '') {
  if (ok) ++passed; else ++failed;
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}${detail ? `: ${detail}` : ''}`);
}

const profile = mkdtempSync(join(tmpdir(), 'tamblin-chromium-'));
// The DevTools protocol over a pipe (file descriptors 3 and 4, messages ended by a zero byte): no port,
// nothing beyond node's own modules.
const browser = spawn(chromiumPath, [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--window-size=900,1000',
  `--user-data-dir=${profile}`, '--remote-debugging-pipe', 'about:blank'],
{ stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'] });
let browserLog = '';
browser.stderr.on('data', (d) => { browserLog += d; });

class Devtools {
  constructor() {
    this.next = 1;
    this.waiting = new Map();
    this.console = [];
    this.sessionId = undefined;
    let pending = '';
    browser.stdio[4].on('data', (chunk) => {
      pending += chunk.toString('utf8');
      let end;
      while ((end = pending.indexOf('\0')) >= 0) {
        this.receive(JSON.parse(pending.slice(0, end)));
        pending = pending.slice(end + 1);
      }
    });
  }
  receive(data) {
    if (data.id && this.waiting.has(data.id)) {
      const { resolve, reject } = this.waiting.get(data.id);
      this.waiting.delete(data.id);
      if (data.error) reject(new Error(data.error.message)); else resolve(data.result);
    } else if (data.method === 'Runtime.consoleAPICalled') {
      this.console.push(data.params.args.map((a) => a.value ?? a.description ?? '').join(' '));
    } else if (data.method === 'Runtime.exceptionThrown') {
      const details = data.params.exceptionDetails;
      this.console.push(`exception: ${details?.exception?.description ?? details?.text}`);
    }
  }
  // A command to the browser, or to the attached page once there is one.
  send(method, params = {}, toBrowser = false) {
    const id = this.next++;
    const message = { id, method, params };
    if (this.sessionId && !toBrowser) message.sessionId = this.sessionId;
    browser.stdio[3].write(`${JSON.stringify(message)}\0`);
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error(`${method}: no answer from Chromium\n${browserLog}`)), 120000);
      this.waiting.set(id, {
        resolve: (r) => { clearTimeout(timer); resolve(r); },
        reject: (e) => { clearTimeout(timer); reject(e); },
      });
    });
  }
  async attach() {
    const { targetInfos } = await this.send('Target.getTargets', {}, true);
    const target = targetInfos.find((t) => t.type === 'page');
    ({ sessionId: this.sessionId } = await this.send('Target.attachToTarget', { targetId: target.targetId, flatten: true }, true));
  }
  async evaluate(expression) {
    const r = await this.send('Runtime.evaluate', { expression, returnByValue: true, awaitPromise: true });
    if (r.exceptionDetails) throw new Error(`${expression}: ${r.exceptionDetails.exception?.description ?? r.exceptionDetails.text}`);
    return r.result.value;
  }
  async waitFor(expression, seconds) {
    for (let waited = 0; waited < seconds * 10; ++waited) {
      const value = await this.evaluate(expression);
      if (value) return value;
      await sleep(100);
    }
    return null;
  }
  async open(url) {
    this.console = [];
    await this.send('Page.navigate', { url });
    await this.waitFor('document.readyState === "complete"', 30);
  }
  async mouse(type, x, y) {
    await this.send('Input.dispatchMouseEvent', { type, x, y, button: 'left', buttons: type === 'mouseReleased' ? 0 : 1, clickCount: 1 });
  }
}

try {
  const page = new Devtools();
  await page.attach();
  await page.send('Runtime.enable');
  await page.send('Page.enable');

  const golden = readFileSync(goldenFile, 'utf8').split('\n').filter((l) => l && !l.startsWith('#'));
  for (const variant of ['', '&scalar']) {
    await page.open(`${pageUrl}index.html?selftest${variant}`);
    const state = await page.waitFor('document.body.dataset.selftest || document.body.dataset.state', 300);
    const lines = (await page.evaluate('document.getElementById("selftest-lines").textContent')).split('\n').filter(Boolean);
    const summary = await page.evaluate('document.getElementById("selftest-status").textContent');
    const logged = page.console.filter((l) => /^\d+ [0-9a-f]{16} /.test(l));
    const same = lines.length === golden.length && lines.every((l, k) => l === golden[k]);
    check(state === 'done' && same, `self-test${variant ? ' (scalar module)' : ''}: ${lines.length} golden lines`, summary);
    if (!same) {
      for (let k = 0; k < Math.max(lines.length, golden.length); ++k) {
        if (lines[k] !== golden[k]) console.log(`  got      ${lines[k] ?? '(none)'}\n  expected ${golden[k] ?? '(none)'}`);
      }
      console.log(page.console.join('\n'));
    }
    check(logged.length === golden.length && logged.every((l, k) => l === golden[k]), 'self-test lines on the console');
  }

  // A browser without AudioWorklet gets a clear message instead of the instrument.
  const { identifier } = await page.send('Page.addScriptToEvaluateOnNewDocument', { source: 'delete window.AudioWorkletNode;' });
  await page.open(`${pageUrl}index.html`);
  const message = await page.waitFor('document.body.dataset.state === "failed" && document.getElementById("message").textContent', 10);
  check(/AudioWorklet/.test(message || '') && await page.evaluate('document.getElementById("instrument").hidden'),
    'without AudioWorklet the page says so', message || '(no message)');
  await page.send('Page.removeScriptToEvaluateOnNewDocument', { identifier });

  await page.open(`${pageUrl}index.html`);
  check(await page.waitFor('document.body.dataset.editor === "ready"', 30), 'the editor starts', page.console.join(' | '));
  const colours = await page.evaluate(`(() => {
    const c = document.getElementById('editor-canvas');
    const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    const seen = new Set();
    for (let k = 0; k < d.length; k += 4 * 7) seen.add((d[k] << 16) | (d[k + 1] << 8) | d[k + 2]);
    return seen.size;
  })()`);
  check(colours > 50, 'the editor is drawn in the canvas', `${colours} colours`);

  // Audio from a gesture, as a person would start it, and not before.
  check(await page.evaluate('tamblinPage.context === null'), 'no audio context before a gesture');
  const start = await page.evaluate('(() => { const r = document.getElementById("start").getBoundingClientRect(); return [r.x + r.width / 2, r.y + r.height / 2]; })()');
  await page.mouse('mousePressed', start[0], start[1]);
  await page.mouse('mouseReleased', start[0], start[1]);
  const running = await page.waitFor('tamblinPage.context && tamblinPage.context.state === "running" && tamblinPage.node !== null', 20);
  check(!!running, 'audio starts after a click', await page.evaluate('document.getElementById("status").textContent'));

  const placeOf = async (index) => page.evaluate(`(() => {
    const r = tamblinPage.editor.controlRect(${index});
    const b = document.getElementById('editor-canvas').getBoundingClientRect();
    return [b.left + (r.left + r.right) / 2, b.top + (r.top + r.bottom) / 2];
  })()`);
  const value = (index) => page.evaluate(`[tamblinPage.x.tamblin_parameter(${index}), tamblinPage.editor.value(${index})]`);

  // A click on the first oscillator's wave box steps to the next wave.
  const [waveBefore] = await value(kWaveType1);
  const wave = await placeOf(kWaveType1);
  await page.mouse('mousePressed', wave[0], wave[1]);
  await page.mouse('mouseReleased', wave[0], wave[1]);
  await sleep(300);
  const [waveAfter, waveShown] = await value(kWaveType1);
  check(waveAfter !== waveBefore && waveShown === waveAfter, 'a click on the wave box changes Wave Type 1',
    `${waveBefore} -> ${waveAfter}`);
  const waveInWorklet = await page.waitFor(`tamblinPage.workletValues.get(${kWaveType1}) === ${waveAfter}`, 5);
  check(!!waveInWorklet, 'the worklet instrument has the new wave');

  // A drag down on the cutoff dial lowers the cutoff.
  const [cutoffBefore] = await value(kFilterFrequency);
  const dial = await placeOf(kFilterFrequency);
  await page.mouse('mousePressed', dial[0], dial[1]);
  for (let dy = 2; dy <= 40; dy += 2) await page.mouse('mouseMoved', dial[0], dial[1] + dy);
  await page.mouse('mouseReleased', dial[0], dial[1] + 40);
  await sleep(300);
  const [cutoffAfter, cutoffShown] = await value(kFilterFrequency);
  check(cutoffAfter < cutoffBefore && cutoffShown === cutoffAfter, 'a drag down on the cutoff dial lowers it',
    `${cutoffBefore} -> ${cutoffAfter}`);
  check(!!(await page.waitFor(`tamblinPage.workletValues.get(${kFilterFrequency}) === ${cutoffAfter}`, 5)),
    'the worklet instrument has the new cutoff');

  // The filter type box opens its menu on a press; a click on an item far down chooses it.
  const [typeBefore] = await value(kFilterType);
  const typeBox = await placeOf(kFilterType);
  await page.mouse('mousePressed', typeBox[0], typeBox[1]);
  await page.mouse('mouseReleased', typeBox[0], typeBox[1]);
  const menuShown = await page.waitFor('document.getElementById("editor-menu").hidden === false', 5);
  check(!!menuShown, 'a press on the filter type box opens its menu');
  const item = await page.evaluate(`(() => {
    const r = document.getElementById('editor-menu').getBoundingClientRect();
    return [r.left + r.width / 2, r.top + r.height * 0.9];
  })()`);
  await page.mouse('mouseMoved', item[0], item[1]);
  await page.mouse('mousePressed', item[0], item[1]);
  await page.mouse('mouseReleased', item[0], item[1]);
  await sleep(300);
  const [typeAfter, typeShown] = await value(kFilterType);
  const menuGone = await page.evaluate('document.getElementById("editor-menu").hidden');
  check(typeAfter !== typeBefore && typeShown === typeAfter && menuGone, 'a menu item sets the filter type',
    `${typeBefore} -> ${typeAfter}`);

  // A click on a gate step switches it.
  const [gateBefore] = await value(kGatePatternVolume);
  const gate = await page.evaluate(`(() => {
    const r = tamblinPage.editor.controlRect(${kGatePatternVolume});
    const b = document.getElementById('editor-canvas').getBoundingClientRect();
    return r && [b.left + (r.left + r.right) / 2, b.top + r.top + 4];
  })()`);
  if (gate) {
    await page.mouse('mousePressed', gate[0], gate[1]);
    await page.mouse('mouseReleased', gate[0], gate[1]);
    await sleep(300);
  }
  const [gateAfter] = await value(kGatePatternVolume);
  check(gate && gateAfter !== gateBefore, 'a click on a gate step switches it', `${gateBefore} -> ${gateAfter}`);

  // The program menu selects a program in the page and in the worklet; the editor shows its values.
  await page.evaluate(`(() => {
    const menu = document.getElementById('program');
    menu.value = '5';
    menu.dispatchEvent(new Event('change'));
  })()`);
  const selected = await page.waitFor('tamblinPage.workletProgram === 5 && tamblinPage.x.tamblin_current_program() === 5', 5);
  const shownValues = await page.evaluate(`(() => {
    for (let i = 0; i < 100; ++i) if (tamblinPage.editor.value(i) !== tamblinPage.x.tamblin_parameter(i)) return i;
    return -1;
  })()`);
  check(!!selected && shownValues === -1, 'the program menu selects program 6 in the page and the worklet',
    shownValues === -1 ? '' : `the editor shows another value of parameter ${shownValues}`);

  // A key of the computer keyboard sounds through the worklet.
  const quiet = await page.evaluate('tamblinPage.peakSeen || 0');
  await page.send('Input.dispatchKeyEvent', { type: 'keyDown', code: 'KeyA', key: 'a' });
  const sounding = await page.waitFor('tamblinPage.peakSeen > 0.001 && tamblinPage.peakSeen', 5);
  await page.send('Input.dispatchKeyEvent', { type: 'keyUp', code: 'KeyA', key: 'a' });
  check(quiet < 1e-4 && sounding > 0.001, 'the A key sounds', `peak ${quiet} -> ${sounding}`);
  // A press on the on-screen keyboard holds its key down until the release.
  const key = await page.evaluate(`(() => {
    const r = document.querySelector('#keyboard .key.white').getBoundingClientRect();
    return [r.left + r.width / 2, r.top + r.height * 0.8];
  })()`);
  await page.mouse('mousePressed', key[0], key[1]);
  const held = await page.waitFor('document.querySelectorAll("#keyboard .key.down").length === 1', 2);
  await page.mouse('mouseReleased', key[0], key[1]);
  const released = await page.waitFor('document.querySelectorAll("#keyboard .key.down").length === 0', 2);
  check(!!held && !!released, 'the on-screen keyboard plays a key while it is pressed');

  check(await page.evaluate('document.body.dataset.state !== "failed"'), 'no error on the page', page.console.join(' | '));

  const shot = await page.send('Page.captureScreenshot', { format: 'png', captureBeyondViewport: true });
  writeFileSync(screenshotFile, Buffer.from(shot.data, 'base64'));
  console.log(`screenshot: ${screenshotFile}`);
} catch (e) {
  check(false, 'the browser check ran', e.message);
} finally {
  // Closed through the protocol, so that its helper processes end with it before the profile goes.
  const exited = new Promise((r) => (browser.exitCode !== null ? r() : browser.once('exit', r)));
  browser.stdio[3].write(`${JSON.stringify({ id: 999999, method: 'Browser.close' })}\0`);
  await Promise.race([exited, sleep(10000)]);
  if (browser.exitCode === null) browser.kill('SIGKILL');
  await exited;
  for (let attempt = 0; ; ++attempt) {
    try {
      rmSync(profile, { recursive: true, force: true });
      break;
    } catch (e) {
      if (attempt === 50) throw e;
      await sleep(200);
    }
  }
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
