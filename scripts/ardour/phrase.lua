-- Ardour DSP script for ardour-vst3-check.sh: the test phrase as MIDI (notes, the volume controller 7
-- and a pitch bend), on its frames while the transport rolls.
ardour { ["type"] = "dsp", name = "Tamblin Test Phrase", category = "Utility", license = "MIT",
  author = "Tamblin tests", description = [[Three held notes with the transport (A3, A4, E4, a second each), a controller and a bend]] }

function dsp_ioconfig () return { { midi_in = 1, midi_out = 1, audio_in = 0, audio_out = 0 } } end

local phrase = {
  {0, {0x90, 57, 100}}, {35280, {0xB0, 7, 90}}, {44100, {0x80, 57, 64}}, {44100, {0x90, 69, 100}},
  {74970, {0xE0, 0, 80}}, {85995, {0xE0, 0, 64}}, {88200, {0x80, 69, 64}}, {88200, {0x90, 64, 100}},
  {132300, {0x80, 64, 64}} }

function dsp_run (_, _, n_samples)
  assert (type (midiout) == "table")
  if not Session:transport_rolling () then return end
  local pos = Session:transport_sample ()
  local cnt = 1
  for _, e in ipairs (phrase) do
    if e[1] >= pos and e[1] < pos + n_samples then
      midiout[cnt] = { time = e[1] - pos + 1, data = e[2] }
      cnt = cnt + 1
    end
  end
end
