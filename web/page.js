// The playable page: loads the module (SIMD where the browser has it), draws the editor with the page's own
// instance, starts the worklet's instrument on the first gesture, and keeps the two in step. With
// ?selftest it renders the golden phrase of every program instead.
import { PageEditor } from './editor.js';
import { Playing } from './keyboard.js';
import { EventKind, instantiate, simdSupported } from './player.js';
import { runSelfTest } from './selftest.js';

const $ = (id) => document.getElementById(id);
const params = new URLSearchParams(location.search);

function fail(text) {
  const message = $('message');
  message.textContent = text;
  message.hidden = false;
  document.body.dataset.state = 'failed';
  console.error(text);
}

// What the page needs of the browser, or why it cannot run.
function missingFeature() {
  if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
    return 'This browser cannot run WebAssembly, which Tamblin needs. Please open this page in a current ' +
      'version of Firefox, Chrome, Edge or Safari.';
  }
  const Context = window.AudioContext || window.webkitAudioContext;
  if (!Context || typeof AudioWorkletNode !== 'function' || !('audioWorklet' in Context.prototype)) {
    return 'This browser has no AudioWorklet, which Tamblin plays through. Please open this page in a current ' +
      'version of Firefox, Chrome, Edge or Safari (served over http://localhost or https://).';
  }
  return null;
}

async function loadModule() {
  const scalar = params.has('scalar') || !simdSupported();
  const name = scalar ? 'tamblin-scalar.wasm' : 'tamblin-simd.wasm';
  const response = await fetch(name);
  if (!response.ok) throw new Error(`${name} could not be loaded (${response.status})`);
  return { name, bytes: await response.arrayBuffer() };
}

async function selfTest(module) {
  $('selftest').hidden = false;
  const lines = $('selftest-lines');
  const count = (await instantiate(module.bytes)).tamblin_program_count();
  const result = await runSelfTest(module.bytes, count, (line) => {
    lines.textContent += `${line}\n`;
    console.log(line);
  });
  const summary = `${module.name}: ${count} programs, ${result.audio.toFixed(1)} s of audio rendered in ` +
    `${result.seconds.toFixed(2)} s (${result.speed.toFixed(0)}x real time)`;
  $('selftest-status').textContent = summary;
  console.log(`selftest: ${summary}`);
  document.body.dataset.selftest = 'done';
}

// The page's side of the instrument: its own instance holds the values the editor shows and the program
// selected, so that the editor works before audio starts; the worklet's instance follows every change.
class Session {
  constructor(module, exports) {
    this.module = module;
    this.x = exports;  // the page's instance: the instrument's values, and the editor
    exports.tamblin_create(44100);
    this.changes = new Int32Array(exports.memory.buffer, exports.tamblin_changes(), exports.tamblin_stored_value_count());
    this.node = null;
    this.context = null;
    this.early = [];
    this.workletValues = new Map();  // index -> the value the worklet's instrument last reported
    this.recentEdits = new Map();  // index -> time of the user's last edit
    this.editor = new PageEditor(exports, $('editor-canvas'), $('editor-menu'), (edits) => this.edited(edits));
    this.editor.setValues(this.allValues());
    this.playing = new Playing((status, data1, data2) => this.post([[-1, EventKind.midi, status, data1, data2]]),
      () => this.start(), $('keyboard'), $('keyboard-state'), $('midi-state'));
    this.buildProgramMenu();
    $('start').addEventListener('click', () => this.start());
    $('tempo').addEventListener('change', () => this.post([[-1, EventKind.tempo, this.tempo()]]));
    document.body.dataset.editor = 'ready';
  }

  allValues() {
    const list = [];
    for (let i = 0; i < this.changes.length; ++i) list.push([i, this.x.tamblin_parameter(i)]);
    return list;
  }

  // The page instance's changes, as [index, value] pairs.
  takeChanges() {
    const count = this.x.tamblin_take_changes();
    const list = [];
    for (let k = 0; k < count; ++k) list.push([this.changes[k], this.x.tamblin_parameter(this.changes[k])]);
    return list;
  }

  tempo() {
    const bpm = Number($('tempo').value);
    return Number.isFinite(bpm) && bpm >= 20 && bpm <= 400 ? bpm : 120;
  }

  buildProgramMenu() {
    const menu = $('program');
    for (let p = 0; p < this.x.tamblin_program_count(); ++p) {
      const item = document.createElement('option');
      item.value = String(p);
      const name = this.x.tamblin_program_name(p);
      item.textContent = `${p + 1}. ${this.text(name)}`;
      menu.appendChild(item);
    }
    menu.addEventListener('change', () => {
      this.selectProgram(Number(menu.value));
      menu.blur();  // the computer keyboard plays again at once
    });
  }

  text(pointer) {
    const bytes = new Uint8Array(this.x.memory.buffer, pointer);
    let end = 0;
    while (bytes[end] !== 0) ++end;
    return new TextDecoder().decode(bytes.subarray(0, end));
  }

  selectProgram(program) {
    this.x.tamblin_select_program(program);
    this.editor.setValues(this.takeChanges());
    this.post([[-1, EventKind.program, program]]);
  }

  // The user's edits in the editor: kept here and sent to the worklet.
  edited(edits) {
    const now = performance.now();
    for (const [index, value] of edits) {
      this.x.tamblin_set_parameter(index, value);
      this.recentEdits.set(index, now);
    }
    this.takeChanges();
    this.post(edits.map(([index, value]) => [-1, EventKind.parameter, index, value]));
  }

  // Events for the worklet; those sent while it starts wait for it.
  post(events) {
    if (this.node) this.node.port.postMessage({ type: 'events', events });
    else if (this.context) this.early.push(...events);
  }

  // The worklet's changes (mapped controllers, program selections): the user's own recent edits are
  // not drawn back over a drag that has moved on.
  received(data) {
    if (data.type === 'gate') {
      this.editor.setGatePosition(data.position);
      this.showLevel(data.peak);
    } else if (data.type === 'changes') {
      this.workletProgram = data.program;
      if (this.x.tamblin_current_program() !== data.program) this.x.tamblin_select_program(data.program);
      if ($('program').value !== String(data.program)) $('program').value = String(data.program);
      const now = performance.now();
      for (const [index, value] of data.changes) {
        this.workletValues.set(index, value);
        if (now - (this.recentEdits.get(index) ?? -1e9) < 500) continue;
        this.x.tamblin_set_parameter(index, value);
      }
      this.editor.setValues(this.takeChanges());
    } else if (data.type === 'error') {
      fail(`The instrument stopped: ${data.text}`);
    }
  }

  // The output's peak over the last report, held for a moment as a meter would.
  showLevel(peak) {
    this.peakSeen = Math.max(peak, (this.peakSeen || 0) * 0.9);
    const meter = $('level');
    meter.value = Math.min(1, this.peakSeen);
  }

  // Starts the audio (from a user gesture): the worklet builds the instrument with the page's program
  // and values.
  async start() {
    if (this.context) {
      if (this.context.state !== 'running') await this.context.resume();
      return;
    }
    const Context = window.AudioContext || window.webkitAudioContext;
    this.context = new Context({ latencyHint: 'interactive' });
    const status = $('status');
    status.textContent = 'Starting audio…';
    try {
      await this.context.audioWorklet.addModule('worklet.js');
      const events = [[0, EventKind.program, this.x.tamblin_current_program()], [0, EventKind.tempo, this.tempo()]];
      for (const [index, value] of this.allValues()) events.push([0, EventKind.parameter, index, value]);
      events.push(...this.early.map((e) => [0, ...e.slice(1)]));
      this.early = [];
      this.node = new AudioWorkletNode(this.context, 'tamblin', {
        numberOfInputs: 0,
        numberOfOutputs: 1,
        outputChannelCount: [2],
        processorOptions: { bytes: this.module.bytes, events },
      });
      this.node.port.onmessage = (m) => this.received(m.data);
      this.node.onprocessorerror = () => fail('The instrument stopped with an error in the audio thread.');
      this.node.connect(this.context.destination);
      await this.context.resume();
      status.textContent = `Playing at ${this.context.sampleRate} Hz (${this.module.name}).`;
      $('start').textContent = 'Audio on';
      $('start').disabled = true;
      this.playing.connectMidi();
    } catch (e) {
      fail(`Audio could not start: ${e.message || e}`);
    }
  }
}

async function main() {
  const missing = missingFeature();
  if (missing) {
    fail(missing);
    return;
  }
  let module;
  try {
    module = await loadModule();
  } catch (e) {
    fail(`The instrument could not be loaded: ${e.message || e}. Serve this folder with a web server ` +
      '(python3 -m http.server) rather than opening the file.');
    return;
  }
  if (params.has('selftest')) {
    try {
      await selfTest(module);
    } catch (e) {
      document.body.dataset.selftest = 'failed';
      fail(`Self-test failed: ${e.message || e}`);
    }
    return;
  }
  $('instrument').hidden = false;
  try {
    window.tamblinPage = new Session(module, await instantiate(module.bytes));
  } catch (e) {
    fail(`The editor could not start: ${e.message || e}`);
  }
}

main();
