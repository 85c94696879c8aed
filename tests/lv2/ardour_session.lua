-- A headless Ardour session (ardour7-lua) that puts the stereo plug-in on a
-- track, sets its Pan and saves. Run with the session folder as SPATIUM_SESSION
-- and the bundle's parent folder on LV2_PATH; the caller checks the saved file.
local dir = os.getenv("SPATIUM_SESSION")
assert(dir, "SPATIUM_SESSION is not set")
AudioEngine:set_backend("None (Dummy)", "", "")
local s = create_session(dir, "spatium", 48000)
assert(s, "Ardour could not create the session")
local tracks = s:new_audio_track(2, 2, nil, 1, "Spatium", ARDOUR.PresentationInfo.max_order,
                                 ARDOUR.TrackMode.Normal, true)
local plugin = ARDOUR.LuaAPI.new_plugin(s, "https://spatium.example/plugins/spatium/stereo",
                                        ARDOUR.PluginType.LV2, "")
assert(not plugin:isnil(), "Ardour does not find the plug-in")
assert(tracks:front():add_processor_by_index(plugin, 0, nil, true) == 0,
       "Ardour cannot put the plug-in on the track")
local insert = plugin:to_plugininsert()
print("loaded " .. insert:plugin(0):name())
-- Pan is the seventh control input (index 6).
ARDOUR.LuaAPI.set_plugin_insert_param(insert, 6, 30)
s:save_state("", false, false, false, false, false)
close_session()
