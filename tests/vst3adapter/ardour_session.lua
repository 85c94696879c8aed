-- Ardour, headless (ardour7-lua on its dummy backend), with the VST3 bundle as a
-- user would use it, the LV2 bundle beside it on identical tracks:
--   * one noise source feeds a mono and a stereo track of each format;
--   * Pan and Distance are set on the mono ones, a factory preset is applied by
--     its name on the stereo ones;
--   * rolling, the meters show the placement (both sit left: left is louder) and
--     each VST3 track peaks where its LV2 twin does;
--   * the session is saved, closed and loaded again: every value is back and the
--     twins still agree.
-- Each step is written to stderr first, so a host that stops responding shows
-- where. Run by ardour_vst3.sh, which prepares the plug-in cache:
--   ardour7-lua ardour_session.lua SESSION_DIR

local dir = assert(arg and arg[1], "usage: ardour_session.lua SESSION_DIR")
local vst3 = "26EAEA3ECC3DAA27604325C57CE0C5F0" -- the class ID sessions store
local lv2 = "https://spatium.example/plugins/spatium/"
local presetName = "Left 75%"

local function step(text) io.stderr:write("step: ", text, "\n") end

local function control(plug, label)
  for i = 0, plug:parameter_count() - 1 do
    if plug:parameter_is_input(i) and plug:parameter_is_control(i)
        and plug:parameter_label(i) == label then
      return i
    end
  end
  error("no control labelled " .. label)
end

-- Every input control of a plug-in by its label.
local function snapshot(proc)
  local plug, values = proc:to_plugininsert():plugin(0), {}
  for i = 0, plug:parameter_count() - 1 do
    if plug:parameter_is_input(i) and plug:parameter_is_control(i) then
      values[plug:parameter_label(i)] = ARDOUR.LuaAPI.get_processor_param(proc, i)
    end
  end
  return values
end

local function near(a, b) return math.abs(a - b) <= 1e-4 * math.max(1, math.abs(a)) end

-- The four tracks: name, inputs, format, plug-in ID.
local cases = {
  { "Mono VST3", 1, ARDOUR.PluginType.VST3, vst3 },
  { "Stereo VST3", 2, ARDOUR.PluginType.VST3, vst3 },
  { "Mono LV2", 1, ARDOUR.PluginType.LV2, lv2 .. "mono" },
  { "Stereo LV2", 2, ARDOUR.PluginType.LV2, lv2 .. "stereo" },
}

local function newTrack(s, name, inputs)
  return s:new_audio_track(inputs, 2, nil, 1, name, ARDOUR.PresentationInfo.max_order,
                           ARDOUR.TrackMode.Normal, true):front()
end

-- Silent until measure() turns it on: every instance starts from the same state.
local function addSource(s)
  local track = newTrack(s, "Noise", 2)
  local noise = ARDOUR.LuaAPI.new_luaproc(s, "ACE Noise")
  assert(not noise:isnil(), "no ACE Noise generator")
  assert(track:add_processor_by_index(noise, 0, nil, true) == 0, "the generator was not inserted")
  noise:deactivate()
  return track
end

-- Each track listens to the source only: channel c to the source's channel c.
local function feed(track, source)
  local input = track:input()
  for c = 0, input:n_ports():n_audio() - 1 do
    input:nth(c):disconnect_all()
    assert(input:nth(c):connect(source:output():nth(c):name()) == 0, "no connection")
  end
  track:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput,
                                       PBD.GroupControlDisposition.NoGroup)
end

-- The highest peak (dB) of each output channel of each track over a second of noise.
local function measure(s)
  local noise = nil
  local source = s:route_by_name("Noise")
  for i = 0, 20 do
    local p = source:nth_processor(i)
    if p:isnil() then break end
    if p:display_name() == "ACE Noise" then noise = p end
  end
  assert(noise, "the generator is gone")
  ARDOUR.LuaAPI.usleep(300000)
  for _, case in ipairs(cases) do s:route_by_name(case[1]):peak_meter():reset_max() end
  ARDOUR.LuaAPI.usleep(100000)
  noise:activate()
  s:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
  ARDOUR.LuaAPI.usleep(1000000)
  noise:deactivate()
  ARDOUR.LuaAPI.usleep(300000)
  s:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
  ARDOUR.LuaAPI.usleep(200000)
  local peaks = {}
  for _, case in ipairs(cases) do
    local meter = s:route_by_name(case[1]):peak_meter()
    peaks[case[1]] = { meter:meter_level(0, ARDOUR.MeterType.MeterMaxPeak),
                       meter:meter_level(1, ARDOUR.MeterType.MeterMaxPeak) }
  end
  return peaks
end

local function checkPeaks(peaks, when)
  for _, case in ipairs(cases) do
    local name, p = case[1], peaks[case[1]]
    print(string.format("%s %-12s L %10.6f dB  R %10.6f dB", when, name, p[1], p[2]))
    assert(p[1] > -40 and p[2] > -60, name .. ": no signal " .. when)
    assert(p[1] - p[2] > 1, name .. ": placed left yet not louder on the left " .. when)
  end
  for _, kind in ipairs({ "Mono", "Stereo" }) do
    local a, b = peaks[kind .. " VST3"], peaks[kind .. " LV2"]
    for c = 1, 2 do
      assert(math.abs(a[c] - b[c]) < 1e-4, string.format(
        "%s: VST3 and LV2 differ on channel %d %s: %.4f against %.4f dB", kind, c, when, a[c], b[c]))
    end
  end
end

step("create the session")
-- Ardour connects new inputs to the system's in a thread of its own, which could
-- come after feed() and mix the backend's inputs in.
ARDOUR.config():set_input_auto_connect(0)
local s = assert(create_session(dir, "spatium", 48000), "no session")
local source = addSource(s)
local procs = {}
for _, case in ipairs(cases) do
  step("add " .. case[1])
  local track = newTrack(s, case[1], case[2])
  local p = ARDOUR.LuaAPI.new_plugin(s, case[4], case[3], "")
  assert(not p:isnil(), "Ardour does not find the plug-in of " .. case[1])
  assert(track:add_processor_by_index(p, 0, nil, true) == 0, "Ardour did not insert " .. case[1])
  procs[case[1]] = p
end
ARDOUR.LuaAPI.usleep(200000)
for _, case in ipairs(cases) do feed(s:route_by_name(case[1]), source) end

for _, format in ipairs({ "VST3", "LV2" }) do
  step("set Pan and Distance on Mono " .. format)
  local mono = procs["Mono " .. format]
  local plug = mono:to_plugininsert():plugin(0)
  assert(ARDOUR.LuaAPI.set_processor_param(mono, control(plug, "Pan"), -35.0), "Pan not set")
  assert(ARDOUR.LuaAPI.set_processor_param(mono, control(plug, "Distance"), 3.0), "Distance not set")
  step("apply the factory preset on Stereo " .. format)
  local stereo = procs["Stereo " .. format]:to_plugininsert():plugin(0)
  local preset = stereo:preset_by_label(presetName)
  assert(preset, "the factory preset is not listed for " .. format)
  assert(stereo:load_preset(preset), "the factory preset did not load in " .. format)
end

step("roll")
checkPeaks(measure(s), "before saving")
local stereoPan = ARDOUR.LuaAPI.get_processor_param(procs["Stereo VST3"],
  control(procs["Stereo VST3"]:to_plugininsert():plugin(0), "Pan"))
assert(stereoPan < 0, "the preset did not move Pan to the left: " .. tostring(stereoPan))
local before = { Mono = snapshot(procs["Mono VST3"]), Stereo = snapshot(procs["Stereo VST3"]) }
assert(near(before.Mono["Pan"], -35) and near(before.Mono["Distance"], 3), "values not taken")

step("save and close")
assert(s:save_state("", false, false, false, false, false) == 0, "the session was not saved")
close_session()
procs = nil

step("load again")
local again = assert(load_session(dir, "spatium"), "the session did not load again")
for _, kind in ipairs({ "Mono", "Stereo" }) do
  local p = again:route_by_name(kind .. " VST3"):nth_plugin(0)
  assert(not p:isnil(), kind .. ": the VST3 plug-in is gone after loading")
  local now = snapshot(p)
  for label, value in pairs(before[kind]) do
    assert(now[label] and near(now[label], value), string.format(
      "%s VST3: %s was %s before saving, %s after loading", kind, label, value, tostring(now[label])))
  end
end
step("roll again")
checkPeaks(measure(again), "after loading")
close_session()
print("ardour: VST3 found, placed, saved, loaded again and equal to LV2")
