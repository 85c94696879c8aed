-- Ardour, headless (ardour7-lua on its dummy audio backend), as a user would use
-- the bundle: both plug-ins on tracks, a control set and a factory preset applied
-- while the transport rolls, then the session saved, closed and loaded again.
--   LV2_PATH=build/release/lv2 ardour7-lua tests/lv2/ardour_session.lua DIR

local dir = assert(arg and arg[1], "usage: ardour_session.lua SESSION_DIR")
local base = "https://spatium.example/plugins/spatium/"

local function control(plug, label)
  for i = 0, plug:parameter_count() - 1 do
    if plug:parameter_is_input(i) and plug:parameter_is_control(i)
        and plug:parameter_label(i) == label then
      return i
    end
  end
  error("no control labelled " .. label)
end

local function near(a, b) return math.abs(a - b) < 1e-4 end

local s = assert(create_session(dir, "spatium", 48000), "no session")
local tracks = {}
for _, case in ipairs({ { "mono", 1, "Mono source" }, { "stereo", 2, "Stereo source" } }) do
  local kind, inputs, name = case[1], case[2], case[3]
  local track = s:new_audio_track(inputs, 2, nil, 1, name, ARDOUR.PresentationInfo.max_order,
                                  ARDOUR.TrackMode.Normal, true):front()
  local p = ARDOUR.LuaAPI.new_plugin(s, base .. kind, ARDOUR.PluginType.LV2, "")
  assert(not p:isnil(), "Ardour does not find the " .. kind .. " plug-in")
  assert(track:add_processor_by_index(p, 0, nil, true) == 0, "Ardour did not insert " .. kind)
  tracks[#tracks + 1] = { name = name, p = p }
end

local mono = tracks[1].p
local plug = mono:to_plugininsert():plugin(0)
local pan, distance = control(plug, "Pan"), control(plug, "Distance")
assert(ARDOUR.LuaAPI.set_processor_param(mono, pan, -35.0), "Pan not set")

-- The stereo one takes a factory preset by its name.
local stereo = tracks[2].p:to_plugininsert():plugin(0)
local preset = stereo:preset_by_label("Left 75%")
assert(preset, "the factory preset is not listed")
assert(stereo:load_preset(preset), "the factory preset did not load")

s:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(700000)
s:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(200000)
assert(s:transport_sample() > 4800, "the transport did not roll")

local stereoPan = ARDOUR.LuaAPI.get_processor_param(tracks[2].p, control(stereo, "Pan"))
assert(stereoPan < 0, "the preset did not move Pan to the left: " .. tostring(stereoPan))
local distanceBefore = ARDOUR.LuaAPI.get_processor_param(mono, distance)
assert(s:save_state("", false, false, false, false, false) == 0, "the session was not saved")
close_session()

local again = assert(load_session(dir, "spatium"), "the session did not load again")
local m = again:route_by_name("Mono source"):nth_plugin(0)
assert(not m:isnil(), "the mono plug-in is gone after loading")
assert(near(ARDOUR.LuaAPI.get_processor_param(m, pan), -35.0), "Pan did not come back")
assert(near(ARDOUR.LuaAPI.get_processor_param(m, distance), distanceBefore), "Distance changed")
local st = again:route_by_name("Stereo source"):nth_plugin(0)
assert(near(ARDOUR.LuaAPI.get_processor_param(st, control(stereo, "Pan")), stereoPan),
       "the preset's Pan did not come back")
close_session()
print("ardour: both plug-ins loaded, rolled, saved and came back")
