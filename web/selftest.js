// The self-test: the golden phrase of every factory program through the page's worklet in an offline
// context at the golden sample rate, each render's golden line written to the page and the console.
import { goldenLine, phraseEvents } from './golden.js';
import { kPhraseFrames, kPhraseRate } from './phrase.js';

export async function runSelfTest(bytes, programCount, write) {
  let rendering = 0;
  for (let program = 0; program < programCount; ++program) {
    const context = new OfflineAudioContext({ numberOfChannels: 2, length: kPhraseFrames, sampleRate: kPhraseRate });
    await context.audioWorklet.addModule('worklet.js');
    const node = new AudioWorkletNode(context, 'tamblin', {
      numberOfInputs: 0,
      numberOfOutputs: 1,
      outputChannelCount: [2],
      processorOptions: { bytes, events: phraseEvents(program), report: false },
    });
    const failure = new Promise((resolve, reject) => {
      node.onprocessorerror = () => reject(new Error('the worklet failed'));
      node.port.onmessage = (m) => { if (m.data.type === 'error') reject(new Error(m.data.text)); };
    });
    node.connect(context.destination);
    const began = performance.now();
    const buffer = await Promise.race([context.startRendering(), failure]);
    rendering += performance.now() - began;
    write(goldenLine(program, buffer.getChannelData(0), buffer.getChannelData(1)));
  }
  const seconds = rendering / 1000;
  const audio = (programCount * kPhraseFrames) / kPhraseRate;
  return { seconds, audio, speed: audio / seconds };
}
