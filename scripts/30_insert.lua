-- quodrix insert: renaming by inserted text. The command builds the renaming controller and its controls
-- the way the application's interface file does, connects them with setValue:forKey:, answers the "rename"
-- panel with the files of its command line, and prints each log row as it arrives.

Insert = {}

local usageText = [[
usage: quodrix insert [options] TEXT POSITIONS FILE|FOLDER...
  TEXT         the text to insert
  POSITIONS    where to insert it: one position, or several separated by ";" (counted in UTF-16 units)
  FILE|FOLDER  the files to rename; a folder gives every file below it (hidden items left out)
options:
  -d, --dest FOLDER   the folder that receives the renamed files (not needed with --simulate)
  -n, --simulate      only show what would happen; nothing on disk changes
  -m, --move          move the files (the overwrite switch) instead of copying them
  -i, --in-place      keep each file in its own folder (instead of --dest); files in natural order
  -k, --keep-going    do what can be done even when the plan has failures
Every target is worked out first: a simulation shows "would fail: CAUSE" after a row that would fail, and
a real run whose plan has failures changes nothing (status 1) unless --keep-going.
]]

-- The files that a folder argument stands for, collected by the "renameDir" walk; nil when the argument
-- is not a readable folder. The second result is why the walk missed files (a subfolder it could not
-- read), or nil when it read every folder.
local function filesBelow(folder)
  if objc.cToolBox:hGetFilesInDir_(folder) == nil then return nil end
  local previous = objc.panels.open
  objc.panels.open = function(request) return { folder } end
  local files = objc.cToolBox:hOpenDialogFilesOC_("renameDir")
  local missed = objc.lastFailure()
  objc.panels.open = previous
  return files or {}, missed
end

-- Runs one insert renaming through the controller. `options`: text, positions, destination, simulate,
-- overwrite, and files (paths, answered to the "rename" panel). Returns a summary:
-- { rows = n, failed = n, alert = "title: message" or nil }.
function Insert.run(options)
  local controller = objc.ocFileRename:alloc():init()
  local log = (options.logClass or ProgressLog):alloc():init()
  log.total = #options.files
  local alertWindow = objc.NSWindow:new()
  local alertTitle, alertInfo = objc.NSTextField:new(), objc.NSTextField:new()
  local outlets = {
    btnSimulationMode = App.checkBox(options.simulate),
    btnOverwrite = App.checkBox(options.overwrite),
    tfFileRenameDestination = App.textField(options.destination),
    theLogDataArrayController = log,
    myLogTableView = objc.NSTableView:new(),
    myMainWindow = objc.NSWindow:new(),
    myAlertWindow = alertWindow,
    tfAlertTitle = alertTitle,
    tfAlertInfo = alertInfo,
    tfInsertionString = App.textField(options.text),
    tfInsertionPosition = App.textField(options.positions),
  }
  for key, control in pairs(outlets) do
    controller:setValue_forKey_(control, key)
  end

  local previousOpen, previousAlert = objc.panels.open, objc.panels.alert
  local alert
  objc.panels.open = function(request)
    if #options.files == 0 then return nil end
    return options.files
  end
  objc.panels.alert = function(title, message) alert = title .. " " .. message end
  local ok, err = pcall(controller.hChooseFileToRenameInsert_, controller, nil)
  objc.panels.open, objc.panels.alert = previousOpen, previousAlert
  log:finish()
  if not ok then error(err, 0) end
  if alert then
    -- The user reads the alert and closes the sheet with its button.
    controller:closeAlertSheetObjC_(nil)
  end
  return { rows = #log.rows, failed = log.failed, alert = alert }
end

local function parse(args)
  local options = { files = {} }
  local positional = {}
  local i = 1
  while i <= #args do
    local a = args[i]
    if a == "--" then
      for j = i + 1, #args do positional[#positional + 1] = args[j] end
      break
    elseif a == "-n" or a == "--simulate" then
      options.simulate = true
    elseif a == "-m" or a == "--move" or a == "--overwrite" then
      options.overwrite = true
    elseif a == "-i" or a == "--in-place" then
      options.inPlace = true
    elseif a == "-k" or a == "--keep-going" then
      options.keepGoing = true
    elseif a == "-d" or a == "--dest" then
      i = i + 1
      if args[i] == nil then return nil, "--dest needs a folder" end
      options.destination = args[i]
    elseif a:sub(1, 7) == "--dest=" then
      options.destination = a:sub(8)
    elseif a:sub(1, 1) == "-" and #a > 1 then
      return nil, "unknown option " .. a
    else
      positional[#positional + 1] = a
    end
    i = i + 1
  end
  if #positional < 3 then return nil, "TEXT, POSITIONS and at least one file are needed" end
  if options.inPlace and options.destination then return nil, "--in-place and --dest exclude each other" end
  options.text, options.positions = positional[1], positional[2]
  for j = 3, #positional do
    local argument = App.absolute(positional[j])
    local below, missed = filesBelow(argument)
    if missed then options.missed = options.missed or missed end
    if below then
      for _, path in ipairs(below) do options.files[#options.files + 1] = path end
    else
      options.files[#options.files + 1] = argument
    end
  end
  -- The destination field holds a folder path that ends with "/", as the folder chooser fills it.
  if options.destination and options.destination ~= "" then options.destination = App.absolute(options.destination) end
  local destination = options.destination
  if destination and destination ~= "" and destination:sub(-1) ~= "/" then
    options.destination = destination .. "/"
  end
  return options
end

App.command("insert", {
  summary = "rename files by inserting a text at given positions (insert --help)",
  run = function(args)
    if args[1] == "--help" or args[1] == "-h" then
      io.stdout:write(usageText)
      return 0
    end
    local options, problem = parse(args)
    if not options then
      App.eprintf("quodrix insert: %s\n%s", problem, usageText)
      return 2
    end
    if options.missed then
      -- The files that could be collected are still renamed; the run as a whole has failed.
      App.eprintf("quodrix insert: not every folder could be read: %s\n", options.missed)
    end
    local summary = InsertPlanning.run(options)
    if summary.refused then
      App.eprintf("quodrix insert: %d of %d files failed\n", summary.failed, summary.rows)
      App.eprintf("quodrix insert: the plan has failures; nothing was done (--keep-going does the rest)\n")
      return 1
    end
    if summary.alert then
      App.eprintf("quodrix insert: %s\n", summary.alert)
      return 2
    end
    if summary.rows == 0 then
      App.eprintf("quodrix insert: no file to rename\n")
      return 1
    end
    if summary.failed > 0 then
      App.eprintf("quodrix insert: %d of %d files failed\n", summary.failed, summary.rows)
      return 1
    end
    if options.simulate and (summary.predicted or 0) > 0 then
      App.eprintf("quodrix insert: %d of %d files would fail\n", summary.predicted, summary.rows)
      return 1
    end
    if options.missed then return 1 end
    return 0
  end,
})
