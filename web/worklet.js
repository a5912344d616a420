// The audio worklet processor: the instrument in the page's audio thread, built in the constructor from the
// module bytes the page passes, rendering the context's 128-frame blocks with the page's events on their
// frames.
import { Player, instantiateSync } from './player.js';

// The gate position and the output's peak go to the page about every 25 ms (the editor's lamp timer) at 44.1 or 48 kHz.
const kGateReportBlocks = 8;

class TamblinProcessor extends AudioWorkletProcessor {
  // processorOptions: bytes (the module), events (player events, frames counted from the context's start),
  // report (false: post nothing back, as the self-test wants).
  constructor(options) {
    super();
    const settings = options.processorOptions || {};
    this.report = settings.report !== false;
    this.blocks = 0;
    this.failed = false;
    try {
      this.player = new Player(instantiateSync(settings.bytes), sampleRate);
      for (const e of settings.events || []) this.player.add(e);
    } catch (e) {
      this.failed = true;
      this.port.postMessage({ type: 'error', text: String(e && e.message ? e.message : e) });
      return;
    }
    this.port.onmessage = (message) => this.receive(message.data);
    // The values of the first program are the page's to set (its events): only later changes are reported.
    this.player.takeChanges();
  }

  // {type: 'events', events: [...]}: events with frame -1 act at the start of the next block.
  receive(data) {
    if (!data || data.type !== 'events' || !Array.isArray(data.events)) return;
    for (const e of data.events) {
      if (Array.isArray(e) && e.length >= 3) this.player.add(e);
    }
  }

  process(inputs, outputs) {
    if (this.failed) return false;
    const output = outputs[0];
    const left = output[0];
    const right = output.length > 1 ? output[1] : (this.spare ||= new Float32Array(left.length));
    this.player.process(left, right, currentFrame, left.length);
    if (this.report) {
      const changes = this.player.takeChanges();
      if (changes.length > 0) {
        this.port.postMessage({ type: 'changes', program: this.player.currentProgram(), changes });
      }
      // The page's level display, and its check that keys sound.
      let peak = this.peak || 0;
      for (let k = 0; k < left.length; ++k) peak = Math.max(peak, Math.abs(left[k]), Math.abs(right[k]));
      this.peak = peak;
      if (++this.blocks % kGateReportBlocks === 0) {
        this.port.postMessage({ type: 'gate', position: this.player.gatePosition(), peak });
        this.peak = 0;
      }
    }
    return true;
  }
}

registerProcessor('tamblin', TamblinProcessor);
