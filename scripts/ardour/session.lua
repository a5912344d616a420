-- One Ardour session for ardour-vst3-check.sh, named by TAMBLIN_SESSION in TAMBLIN_SESSIONS: "vst3" has
-- Tamblin VST 3 on a MIDI track in program SineOrgan; "sum" adds the VST 2 Tamblin on a second track,
-- and "null" inverts that track's polarity after the plug-in, so that the master bus holds the
-- difference of the two. Each track plays the phrase of the "Tamblin Test Phrase" script.
ARDOUR.config():set_hide_dummy_backend(false)
AudioEngine:set_backend("None (Dummy)", "", "")
AudioEngine:set_sample_rate(44100)
AudioEngine:set_buffer_size(1024)
assert(AudioEngine:start(false) == 0)

local function add_track(kind, name)
  local info = ARDOUR.LuaAPI.new_plugin_info("Tamblin", kind)
  assert(not info:isnil(), "no Tamblin of this kind")
  print(name, "plugin info", info.name, "by", info.creator, "category", info.category)
  local track = Session:new_midi_track(ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1),
    ARDOUR.ChanCount(ARDOUR.DataType("audio"), 2), true, info, nil, nil, 1, name,
    ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true, false):front()
  local phrase = ARDOUR.LuaAPI.new_plugin(Session, "Tamblin Test Phrase", ARDOUR.PluginType.Lua, "")
  assert(not phrase:isnil())
  track:add_processor_by_index(phrase, 0, nil, true)
  local insert = track:nth_plugin(1):to_insert()
  local plugin = insert:plugin(0)
  print(name, "plugin", plugin:name(), "maker", plugin:maker(), "parameters", plugin:parameter_count())
  local names = {"DefaultString", "Swelling", "PWMLead", "SineOrgan", "WobBel", "WahString", "Trance1A",
    "LateVoice", "Arped", "RingMod", "BadFlute", "CombPattern", "VelBass", "TremOrgan", "Mysteron", "SweelBrChord"}
  local found = {}
  for _, n in ipairs(names) do
    local preset = plugin:preset_by_label(n)
    if preset and preset.valid then table.insert(found, n) end
  end
  print(name, "presets found", #found .. ":", table.concat(found, " "))
  local preset = plugin:preset_by_label("SineOrgan")
  print(name, "load preset SineOrgan", plugin:load_preset(preset), "uri", preset.uri)
  ARDOUR.LuaAPI.wait_for_process_callback(8, 5000)
  local volume = ARDOUR.LuaAPI.get_plugin_insert_param(insert, 0, false)
  print(name, "Volume after the preset", volume)
  return track
end

local which = os.getenv("TAMBLIN_SESSION")
create_session(os.getenv("TAMBLIN_SESSIONS") .. "/" .. which, which, 44100)
add_track(ARDOUR.PluginType.VST3, "Tamblin VST3")
if which == "null" or which == "sum" then
  local vst2 = add_track(ARDOUR.PluginType.LXVST, "Tamblin VST2")
  if which == "null" then
    local invert = ARDOUR.LuaAPI.new_plugin(Session, "Tamblin Test Invert", ARDOUR.PluginType.Lua, "")
    assert(not invert:isnil())
    vst2:add_processor_by_index(invert, 2, nil, true)
    print("VST2 track: polarity inverted after the plug-in")
  end
end
Session:save_state("", false, false, false, false, false)
close_session()
