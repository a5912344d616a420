// Playing the instrument from the page: the computer keyboard (two rows as a piano's keys), an on-screen
// keyboard and Web MIDI inputs, all as MIDI messages for the worklet.

// The home row's keys are the white keys C to C', the row above the black keys between them.
const kKeyNotes = {
  KeyA: 0, KeyW: 1, KeyS: 2, KeyE: 3, KeyD: 4, KeyF: 5, KeyT: 6, KeyG: 7, KeyY: 8, KeyH: 9, KeyU: 10, KeyJ: 11,
  KeyK: 12,
};
const kBlackKeys = new Set([1, 3, 6, 8, 10]);
const kLowestOctave = -1, kHighestOctave = 9;
const kVelocityStep = 16;

export class Playing {
  // `send(status, data1, data2)` delivers one message; `wake()` starts the audio if it is not running.
  constructor(send, wake, keyboardElement, stateElement, midiElement) {
    this.send = send;
    this.wake = wake;
    this.octave = 4;  // the home row's A plays C4, MIDI note 60
    this.velocity = 100;
    this.held = new Map();  // computer key code -> note
    this.keysDown = new Map();  // note -> count of keys, pointers and MIDI notes holding it
    this.stateElement = stateElement;
    this.midiElement = midiElement;
    this.buildKeyboard(keyboardElement);
    this.listenToKeys();
    this.showState();
  }

  noteOn(note, velocity) {
    if (note < 0 || note > 127) return;
    this.wake();
    this.send(0x90, note, Math.max(1, Math.min(127, velocity)));
    this.mark(note, 1);
  }
  noteOff(note) {
    if (note < 0 || note > 127) return;
    this.send(0x80, note, 0);
    this.mark(note, -1);
  }

  mark(note, change) {
    const count = Math.max(0, (this.keysDown.get(note) || 0) + change);
    this.keysDown.set(note, count);
    const key = this.keyElements.get(note);
    if (key) key.classList.toggle('down', count > 0);
  }

  showState() {
    this.stateElement.textContent = `Octave: C${this.octave} at A, velocity ${this.velocity}.`;
    this.drawKeyLabels();
  }

  listenToKeys() {
    const typing = (e) => e.target instanceof HTMLInputElement || e.target instanceof HTMLSelectElement ||
      e.target instanceof HTMLTextAreaElement;
    window.addEventListener('keydown', (e) => {
      if (typing(e) || e.ctrlKey || e.metaKey || e.altKey) return;
      if (e.code in kKeyNotes) {
        e.preventDefault();
        if (e.repeat || this.held.has(e.code)) return;
        const note = 12 * (this.octave + 1) + kKeyNotes[e.code];
        this.held.set(e.code, note);
        this.noteOn(note, this.velocity);
        return;
      }
      const step = { KeyZ: [-1, 0], KeyX: [1, 0], KeyC: [0, -1], KeyV: [0, 1] }[e.code];
      if (!step) return;
      e.preventDefault();
      this.octave = Math.max(kLowestOctave, Math.min(kHighestOctave, this.octave + step[0]));
      this.velocity = Math.max(1, Math.min(127, this.velocity + step[1] * kVelocityStep));
      this.showState();
    });
    window.addEventListener('keyup', (e) => {
      const note = this.held.get(e.code);
      if (note === undefined) return;
      this.held.delete(e.code);
      this.noteOff(note);
    });
    // Keys held while the page loses the focus would never see their release.
    window.addEventListener('blur', () => {
      for (const note of this.held.values()) this.noteOff(note);
      this.held.clear();
    });
  }

  // Two octaves and the top C, from the computer keyboard's octave.
  buildKeyboard(element) {
    this.keyboardElement = element;
    this.keyElements = new Map();
    element.replaceChildren();
    const whiteWidth = 100 / 15;
    let white = 0;
    for (let k = 0; k <= 24; ++k) {
      const key = document.createElement('div');
      const black = kBlackKeys.has(k % 12);
      key.className = `key ${black ? 'black' : 'white'}`;
      if (black) {
        key.style.left = `${(white - 0.3) * whiteWidth}%`;
        key.style.width = `${0.6 * whiteWidth}%`;
      } else {
        key.style.left = `${white * whiteWidth}%`;
        key.style.width = `${whiteWidth}%`;
        ++white;
      }
      key.dataset.offset = String(k);
      element.appendChild(key);
    }
    let pointerNote = new Map();  // pointer id -> note
    const noteAt = (e) => {
      const target = document.elementFromPoint(e.clientX, e.clientY);
      if (!target || !target.classList.contains('key')) return undefined;
      return 12 * (this.octave + 1) + Number(target.dataset.offset);
    };
    const release = (e) => {
      const note = pointerNote.get(e.pointerId);
      if (note === undefined) return;
      pointerNote.delete(e.pointerId);
      this.noteOff(note);
    };
    element.addEventListener('pointerdown', (e) => {
      e.preventDefault();
      element.setPointerCapture(e.pointerId);
      const note = noteAt(e);
      if (note === undefined) return;
      pointerNote.set(e.pointerId, note);
      this.noteOn(note, this.velocity);
    });
    // A glide across the keys plays each key it reaches.
    element.addEventListener('pointermove', (e) => {
      if (!pointerNote.has(e.pointerId)) return;
      const note = noteAt(e);
      if (note === undefined || note === pointerNote.get(e.pointerId)) return;
      release(e);
      pointerNote.set(e.pointerId, note);
      this.noteOn(note, this.velocity);
    });
    element.addEventListener('pointerup', release);
    element.addEventListener('pointercancel', release);
  }

  drawKeyLabels() {
    const notes = new Map();
    for (const key of this.keyboardElement.children) {
      const note = 12 * (this.octave + 1) + Number(key.dataset.offset);
      notes.set(note, key);
      key.title = `MIDI note ${note}`;
      key.classList.toggle('down', (this.keysDown.get(note) || 0) > 0);
    }
    this.keyElements = notes;
  }

  // Every MIDI input the browser offers, channel messages only.
  async connectMidi() {
    if (!navigator.requestMIDIAccess) {
      this.midiElement.textContent = 'This browser offers no MIDI input.';
      return;
    }
    try {
      const access = await navigator.requestMIDIAccess();
      const attach = () => {
        const names = [];
        for (const input of access.inputs.values()) {
          input.onmidimessage = (m) => {
            const [status, data1 = 0, data2 = 0] = m.data;
            if (status < 0x80 || status >= 0xF0) return;  // channel messages only
            this.wake();
            this.send(status, data1, data2);
          };
          names.push(input.name);
        }
        this.midiElement.textContent = names.length ? `MIDI: ${names.join(', ')}.` : 'No MIDI input connected.';
      };
      access.onstatechange = attach;
      attach();
    } catch (e) {
      this.midiElement.textContent = 'MIDI input was not allowed.';
    }
  }
}
