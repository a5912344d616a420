// The instrument in one instance of the module, rendering blocks with its events on their frames: what the
// audio worklet runs, and what the command-line check runs under node.

// The few system calls the module's C library links: no environment, and an exit is an error.
function systemImports() {
  return {
    wasi_snapshot_preview1: {
      proc_exit(code) { throw new Error(`the Tamblin module stopped (${code})`); },
      environ_sizes_get(countAt, sizeAt) { return 0; },
      environ_get() { return 0; },
    },
  };
}

// An instance from the module's bytes, synchronously (a worker or worklet), ready to call.
export function instantiateSync(bytes) {
  const instance = new WebAssembly.Instance(new WebAssembly.Module(bytes), systemImports());
  instance.exports._initialize();
  return instance.exports;
}

// The same, without holding up the page's thread.
export async function instantiate(bytes) {
  const { instance } = await WebAssembly.instantiate(bytes, systemImports());
  instance.exports._initialize();
  return instance.exports;
}

// Whether this engine runs WebAssembly SIMD: a module whose one function adds two v128 values.
export function simdSupported() {
  try {
    return WebAssembly.validate(new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0,
      10, 10, 1, 8, 0, 65, 0, 253, 15, 253, 98, 11]));
  } catch (e) {
    return false;
  }
}

const kMidi = 0;
const kNoChanges = Object.freeze([]);

// Events are [frame, kind, a, b, c] with the frame counted from the start of the context (or -1: as soon
// as possible). Kinds: MIDI (status, data 1, data 2), parameter (index, value), program (index), tempo
// (beats per minute).
export const EventKind = { midi: kMidi, parameter: 1, program: 2, tempo: 3 };

export class Player {
  // Builds the instrument in `exports` (an instance of its own) at the sample rate.
  constructor(exports, sampleRate) {
    this.x = exports;
    if (!exports.tamblin_create(sampleRate)) throw new Error('the instrument could not be built');
    const memory = exports.memory.buffer;
    const maxFrames = exports.tamblin_max_render_frames();
    this.left = new Float32Array(memory, exports.tamblin_left(), maxFrames);
    this.right = new Float32Array(memory, exports.tamblin_right(), maxFrames);
    this.changes = new Int32Array(memory, exports.tamblin_changes(), exports.tamblin_stored_value_count());
    this.maxFrames = maxFrames;
    this.programCount = exports.tamblin_program_count();
    this.pending = [];  // events not yet due, in the order they came
    this.nextFrame = Infinity;  // the earliest frame among them
  }

  // Adds an event; those of one frame act in the order they came, parameter changes before notes. A MIDI
  // program change selects one of the sixteen programs on its frame (other numbers are ignored).
  add(event) {
    if (event[1] === kMidi && (event[2] & 0xF0) === 0xC0) {
      if (event[3] < this.programCount) this.add([event[0], EventKind.program, event[3]]);
      return;
    }
    this.pending.push(event);
    if (event[0] < this.nextFrame) this.nextFrame = event[0];
  }

  // Renders `frames` frames from context frame `start` into the two arrays (from index 0).
  process(left, right, start, frames) {
    const end = start + frames;
    if (this.nextFrame >= end) {  // most blocks: nothing to sort, nothing made
      this.render(left, right, 0, frames);
      return;
    }
    const due = [];
    const later = [];
    this.nextFrame = Infinity;
    for (const e of this.pending) {
      if (e[0] < end) {
        due.push(e);
      } else {
        later.push(e);
        if (e[0] < this.nextFrame) this.nextFrame = e[0];
      }
    }
    this.pending = later;
    due.sort((a, b) => (Math.max(a[0], start) - Math.max(b[0], start)) || ((a[1] === kMidi) - (b[1] === kMidi)));
    let piece = 0;
    for (const e of due) {
      const at = Math.max(e[0], start) - start;
      if (e[1] === kMidi) {
        this.x.tamblin_queue_midi(at - piece, e[2], e[3], e[4]);
        continue;
      }
      if (at > piece) {
        this.render(left, right, piece, at - piece);
        piece = at;
      }
      this.apply(e);
    }
    if (frames > piece) this.render(left, right, piece, frames - piece);
  }

  render(left, right, offset, frames) {
    this.x.tamblin_render(frames);
    left.set(this.left.subarray(0, frames), offset);
    right.set(this.right.subarray(0, frames), offset);
  }

  apply(e) {
    if (e[1] === EventKind.parameter) this.x.tamblin_set_parameter(e[2], e[3]);
    else if (e[1] === EventKind.program) this.x.tamblin_select_program(e[2]);
    else if (e[1] === EventKind.tempo) this.x.tamblin_set_tempo(e[2]);
  }

  // The parameters changed since the last call, as [index, value] pairs.
  takeChanges() {
    const count = this.x.tamblin_take_changes();
    if (count === 0) return kNoChanges;
    const list = [];
    for (let k = 0; k < count; ++k) list.push([this.changes[k], this.x.tamblin_parameter(this.changes[k])]);
    return list;
  }

  values() {
    const list = [];
    for (let i = 0; i < this.changes.length; ++i) list.push(this.x.tamblin_parameter(i));
    return list;
  }

  gatePosition() { return this.x.tamblin_gate_position(); }
  currentProgram() { return this.x.tamblin_current_program(); }
}
