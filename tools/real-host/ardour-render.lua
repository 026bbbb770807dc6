-- Renders a stereo WAV through the WadlingCompressor LV2 plug-in inside an Ardour 7 session,
-- headless (ardour7-lua, the Dummy backend). Each step is a process of its own: Ardour 7.3's
-- ardour7-lua crashes when it opens a second session after closing the first.
--
--   ardour7-lua ardour-render.lua import SESSION_FOLDER INPUT.wav
--       a new session at the file's rate with one stereo track "Dry" holding the file as one
--       region at 0 (the file is copied into the session's audio folder)
--   ardour7-lua ardour-render.lua render SESSION_FOLDER OUTPUT.wav PERIOD PRESET|- [NAME=VALUE...]
--       the session at the Dummy backend's PERIOD, the plug-in on the track with the preset
--       loaded by its name ("-": none) and the parameters of those names set, the region's span
--       of the master bus exported as 32-bit float WAV
--
-- The export format and preset "Wadling float WAV" must be in the user's Ardour export folder.

local uri = "https://reedmoor.example/plugins/wadling-compressor"
local export_preset = "d3972043-06ae-4f23-8b59-62a29c0c37af"
local track_name = "Dry"

local function fail(message)
	error("ardour-render: " .. message, 0)
end

local function basename(path)
	return path:match("([^/]+)/*$")
end

local function read_file(path)
	local f = io.open(path, "rb") or fail("cannot read " .. path)
	local data = f:read("a")
	f:close()
	return data
end

local function write_file(path, data)
	local f = io.open(path, "wb") or fail("cannot write " .. path)
	f:write(data)
	f:close()
end

-- Rate, channels and frames from a RIFF WAVE file's fmt and data chunks.
local function wav_info(path)
	local data = read_file(path)
	if data:sub(1, 4) ~= "RIFF" or data:sub(9, 12) ~= "WAVE" then
		fail(path .. " is not a WAV file")
	end
	local at, channels, rate, align, bytes = 13
	while at + 8 <= #data + 1 do
		local tag, size = data:sub(at, at + 3), string.unpack("<I4", data, at + 4)
		if tag == "fmt " then
			channels, rate = string.unpack("<I2I4", data, at + 10)
			align = string.unpack("<I2", data, at + 20)
		elseif tag == "data" then
			bytes = size
		end
		at = at + 8 + size + (size % 2)
	end
	if not (channels and bytes) then
		fail(path .. " has no fmt or data chunk")
	end
	return channels, rate, bytes // align
end

-- Ardour 7.3's Lua has no file import outside the editor. A session saved with an empty track is
-- given the file's two channels as sources and one region on the track's playlist; Ardour reads
-- them as it reads an import it made itself (positions in superclock ticks, 282240000 a second).
local function import(dir, input)
	local channels, rate, frames = wav_info(input)
	if channels ~= 2 then
		fail(input .. " has " .. channels .. " channels, not 2")
	end
	local name = basename(dir)
	if not create_session(dir, name, rate) then
		fail("could not create a session in " .. dir)
	end
	local tracks = Session:new_audio_track(2, 2, nil, 1, track_name,
		ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true)
	if tracks:size() ~= 1 then
		fail("could not add a stereo track")
	end
	-- Ardour connects a new track from a thread of its own, not always before the session is
	-- saved: a track saved unconnected exports silence.
	local track
	for t in tracks:iter() do
		track = t
	end
	local master = Session:master_out():input()
	track:input():disconnect_all(nil)
	for c = 0, 1 do
		local port = track:output():audio(c)
		if port:connect(master:audio(c):name()) ~= 0 then
			fail("could not connect " .. port:name() .. " to the master bus")
		end
	end
	Session:save_state("", false, false, false, false, false)
	-- References to the session's objects must not outlive it.
	tracks, track, master = nil, nil, nil
	collectgarbage()
	close_session()

	local state_file = dir .. "/" .. name .. ".ardour"
	local xml = read_file(state_file)
	local counter = tonumber(xml:match('<Session [^>]*id%-counter="(%d+)"') or fail("no id-counter"))
	local n
	xml, n = xml:gsub('(<Session [^>]*id%-counter=")%d+"', "%1" .. (counter + 3) .. '"', 1)
	local file = basename(input)
	-- No origin: Ardour would look for the file in the origin's folder first and, that folder gone,
	-- play silence.
	local sources = {}
	for channel = 0, 1 do
		sources[#sources + 1] = string.format(
			'    <Source name="%s" type="audio" flags="" id="%d" channel="%d" origin="" gain="1"/>',
			file, counter + channel, channel)
	end
	local replaced
	xml, replaced = xml:gsub("<Sources/>", function()
		return "<Sources>\n" .. table.concat(sources, "\n") .. "\n  </Sources>"
	end, 1)
	n = n + replaced
	local ticks = frames * (282240000 // rate)
	if ticks // frames * rate ~= 282240000 then
		fail("the rate " .. rate .. " is not a whole number of superclock ticks")
	end
	-- No fades and no envelope: the region plays the file's samples unchanged.
	local region = string.format('<Region name="%s" id="%d" position="a0" length="a%d@a0" start="a0"' ..
		' whole-file="0" muted="0" opaque="1" envelope-active="0" default-fade-in="0"' ..
		' default-fade-out="0" fade-in-active="0" fade-out-active="0" scale-amplitude="1"' ..
		' type="audio" first-edit="nothing" source-0="%d" source-1="%d" master-source-0="%d"' ..
		' master-source-1="%d" channels="2"/>', file, counter + 2, ticks, counter, counter + 1, counter,
		counter + 1)
	xml, replaced = xml:gsub('(<Playlist [^>]*name="' .. track_name .. '"[^>]*)/>', function(open)
		return open .. ">\n      " .. region .. "\n    </Playlist>"
	end, 1)
	n = n + replaced
	if n ~= 3 then
		fail("the saved session is not laid out as expected (" .. state_file .. ")")
	end
	write_file(state_file, xml)
	write_file(dir .. "/interchange/" .. name .. "/audiofiles/" .. file, read_file(input))
	print(string.format("session %s: %s, %d frames at %d Hz on track %s", name, file, frames, rate,
		track_name))
end

-- The n-th control port (Ardour's numbering for set_processor_param) of each parameter name.
local function control_places(plugin)
	local places = {}
	for place = 0, 1000 do
		local port, refs = plugin:nth_parameter(place, false)
		if not refs[2] then
			break
		end
		local label = plugin:parameter_label(port)
		if places[label] == nil then
			places[label] = place
		end
	end
	return places
end

-- Plays the track's region through a new instance of the plug-in (the preset loaded by its name,
-- then the port values) and exports the master bus over the region's span. One export a process:
-- Ardour 7.3 corrupts its heap after a second export in a session (with or without plug-ins) and
-- aborts a few exports later, and an exporter used twice writes no audio the second time.
local function render(dir, out, period, preset, params)
	local backend = AudioEngine:set_backend("None (Dummy)", "Unit-Test", "")
	if backend:isnil() or backend:set_buffer_size(period) ~= 0 then
		fail("the Dummy backend does not take a period of " .. period)
	end
	if not load_session(dir, basename(dir)) then
		fail("could not load the session in " .. dir)
	end
	local route = Session:route_by_name(track_name)
	if route:isnil() then
		fail("the session has no track " .. track_name)
	end
	-- The track plays its region into the master bus; nothing from the backend's inputs may
	-- reach it.
	route:input():disconnect_all(nil)
	for c = 0, 1 do
		local port = route:output():audio(c)
		if not port:connected_to(Session:master_out():input():audio(c):name()) then
			fail(port:name() .. " is not connected to the master bus")
		end
	end
	local regions = route:to_track():playlist():region_list()
	if regions:size() ~= 1 then
		fail("the track holds " .. regions:size() .. " regions, not 1")
	end
	local region
	for r in regions:iter() do
		region = r
	end
	local frames = region:length():samples()
	local audio = region:to_audioregion()
	if audio:n_channels() ~= 2 or audio:fade_in_active() or audio:fade_out_active() or
		audio:envelope_active() or audio:scale_amplitude() ~= 1 then
		fail("the region is not the file's two channels at unity gain without fades")
	end

	local proc = ARDOUR.LuaAPI.new_plugin(Session, uri, ARDOUR.PluginType.LV2, "")
	if proc:isnil() then
		fail("Ardour does not find the plug-in " .. uri)
	end
	if route:add_processor_by_index(proc, 0, nil, true) ~= 0 then
		fail("the plug-in could not be added to the track")
	end
	local plugin = proc:to_insert():plugin(0)
	local done = {}
	if preset ~= "-" then
		local record = plugin:preset_by_label(preset)
		if not record or not record.valid then
			fail("the plug-in has no preset named \"" .. preset .. "\"")
		end
		if not plugin:load_preset(record) or plugin:last_preset().label ~= preset then
			fail("Ardour did not load the preset \"" .. preset .. "\"")
		end
		done[#done + 1] = "preset \"" .. preset .. "\""
	end
	local places = control_places(plugin)
	for _, param in ipairs(params) do
		local label, value = param:match("^(.-)=([-%d.]+)$")
		local place = label and places[label]
		if not place then
			fail("no control port for \"" .. param .. "\"")
		end
		value = tonumber(value)
		if not ARDOUR.LuaAPI.set_processor_param(proc, place, value) then
			fail("Ardour refused " .. label .. " = " .. value)
		end
		local now, refs = ARDOUR.LuaAPI.get_processor_param(proc, place, false)
		if not refs[3] or math.abs(now - value) > 1e-6 then
			fail(label .. " reads " .. now .. " after being set to " .. value)
		end
		done[#done + 1] = string.format("%s (control port %d) = %g", label, place, value)
	end

	local export = Session:simple_export()
	if not export:set_preset(export_preset) then
		fail("no export preset " .. export_preset .. " (Wadling float WAV)")
	end
	local folder, name = out:match("^(.*)/([^/]+)%.wav$")
	if not folder then
		fail("the output " .. out .. " is not a path ending in .wav")
	end
	export:set_folder(folder)
	export:set_name(name)
	export:set_range(0, frames)
	if not export:run_export() then
		fail("the export to " .. out .. " failed")
	end
	print(string.format("rendered %s: %d frames of %s, period %d, %s", basename(out), frames,
		region:name(), Session:get_block_size(), #done > 0 and table.concat(done, ", ") or
		"default values"))
	-- The file is complete. Ardour 7.3 now and then aborts in freeing its export objects when the
	-- session closes (a corrupted heap, with or without plug-ins): leave without closing.
	io.stdout:flush()
	os.exit(0)
end

local mode = arg[1]
if mode == "import" and arg[3] then
	import(arg[2], arg[3])
elseif mode == "render" and arg[5] and tonumber(arg[4]) then
	render(arg[2], arg[3], tonumber(arg[4]), arg[5], { table.unpack(arg, 6) })
else
	fail("usage: ardour-render.lua import SESSION_FOLDER INPUT.wav | " ..
		"render SESSION_FOLDER OUTPUT.wav PERIOD PRESET|- [PARAMETER=VALUE...]")
end
