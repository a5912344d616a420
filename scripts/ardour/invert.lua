-- Ardour DSP script for ardour-vst3-check.sh: both channels with their polarity inverted.
ardour { ["type"] = "dsp", name = "Tamblin Test Invert", category = "Utility", license = "MIT",
  author = "Tamblin tests", description = [[Stereo polarity inversion for a null test]] }

function dsp_ioconfig () return { { audio_in = 2, audio_out = 2 } } end

function dsp_run (ins, outs, n_samples)
  for c = 1, 2 do
    local src, dst = ins[c]:array(), outs[c]:array()
    for s = 1, n_samples do dst[s] = -src[s] end
  end
end
