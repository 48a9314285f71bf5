-- quodrix insert: renaming by inserted text. The command builds the renaming controller and its controls
-- the way the application's interface file does, connects them with setValue:forKey:, answers the "rename"
-- panel with the files of its command line, and prints each log row as it arrives.

Insert = {}

-- The files that a folder argument stands for (the "renameDir" walk, less the links that lead to no item or
-- to a folder, which the "rename" panel would not take: QDRenamePlan filesBelow:); nil when the argument
-- is not a readable folder. The second result is why the walk missed files (a subfolder it could not
-- read), or nil when it read every folder.
local function filesBelow(folder)
  if not objc.readsFolder(folder) then return nil end
  local files = objc.QDRenamePlan:filesBelow_(folder)
  return files or {}, App.lastCause()
end

-- Runs one insert renaming through the controller. `options`: text, positions, destination, simulate,
-- overwrite, and files (paths, answered to the "rename" panel). Returns a summary:
-- { rows = n, failed = n, simulated = n, alert = "title: message" or nil, predicted = n or nil (the rows that a
-- log list marked as predicted to fail, see ProgressLog.predict) }.
function Insert.run(options)
  local controller = objc.ocFileRename:alloc():init()
  local log = ProgressLog:alloc():init()
  log:predict(options.causes)
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
  return { rows = log.rowCount, failed = log.failed, simulated = log.simulated, alert = alert,
    predicted = log.predicted }
end

-- Completes the parsed command line: the files that the FILE|FOLDER operands stand for, and the destination
-- as the folder chooser fills its field (absolute, ending with "/"). Returns nil and why for refused input.
local function complete(options, operands)
  options.files = {}
  options.text, options.positions = operands[1], operands[2]
  -- A file name holds the text as it is: bytes that are not UTF-8 would fail every file.
  if not utf8.len(options.text) then return nil, "TEXT is not UTF-8 text" end
  -- The controller reads any text as positions (what is not a number counts as 0); the command takes only
  -- whole numbers, so that a mistyped position is refused rather than taken for the start of the name.
  for field in (options.positions .. ";"):gmatch("([^;]*);") do
    local value = field:match("^%d+$") and math.tointeger(tonumber(field))
    if not value or value > 2147483647 then
      return nil, string.format("POSITIONS: \"%s\" is not a whole number of 0 or more (positions are separated by \";\")",
        field)
    end
  end
  options.folders = {}
  for j = 3, #operands do
    local argument = App.absolute(operands[j])
    local missing = App.missing(argument)
    if missing then return nil, missing end
    -- Renamed in place, the files of a folder are gathered by the plan (InsertPlanning), which sorts them.
    if options.inPlace and objc.readsFolder(argument) then
      options.folders[#options.folders + 1] = argument
    else
      local below, missed = filesBelow(argument)
      if missed then options.missed = options.missed or missed end
      if below then
        for _, path in ipairs(below) do options.files[#options.files + 1] = path end
      else
        options.files[#options.files + 1] = argument
      end
    end
  end
  if options.destination and options.destination ~= "" then
    options.destination = App.absolute(options.destination)
    local missing = App.missing(options.destination, "folder")
    if missing then return nil, "the destination " .. missing end
    if options.destination:sub(-1) ~= "/" then options.destination = options.destination .. "/" end
  end
  return options
end

App.command("insert", {
  summary = "rename files by inserting a text at given positions (insert --help)",
  usage = [[
usage: quodrix insert [options] TEXT POSITIONS FILE|FOLDER...
  TEXT         the text to insert
  POSITIONS    where to insert it: one position, or several separated by ";" (counted in UTF-16 units)
  FILE|FOLDER  the files to rename; a folder gives every file below it (hidden items left out)
The text goes into the name without its extension; a name without one gets a final "." ("README" with "_1"
at 6 gives "README_1."). A file that no position falls within keeps its name.
Each file gives one row on standard output: action, status, name, old path -> new path, and for a failed
row the cause after a tab. A summary line ("12 renamed, 1 failed") ends the run on standard error.
A TEXT that begins with "-" comes after "--".
Every target is worked out first when it is known (with --dest or --in-place; a simulation with neither
cannot know where the files would go, so it predicts nothing): a simulation adds "would fail: CAUSE" after a
tab to a row that would fail, and a real run whose plan has failures changes nothing unless --keep-going.
]],
  options = {
    { short = "d", long = "dest", key = "destination", value = "FOLDER",
      help = "the folder that receives the renamed files (not needed with --simulate)" },
    { short = "n", long = "simulate", key = "simulate", help = "only show what would happen; nothing on disk changes" },
    { short = "m", long = "move", key = "overwrite", help = "move the files instead of copying them" },
    { long = "overwrite", key = "overwrite", help = "the same as --move (the name of the controller's switch)" },
    { short = "i", long = "in-place", key = "inPlace",
      help = "keep each file in its own folder (instead of --dest); files in natural order" },
    { short = "k", long = "keep-going", key = "keepGoing", help = "do what can be done even when the plan has failures" },
  },
  operands = { min = 3 },
  main = function(options, operands)
    local problem
    options, problem = complete(options, operands)
    if not options then return App.usageError(App.commands.insert, problem) end
    if options.inPlace and options.destination then
      return App.usageError(App.commands.insert, "--in-place and --dest exclude each other")
    end
    local summary = InsertPlanning.run(options)
    if summary.alert then
      App.eprintf("quodrix insert: %s\n", App.displayed(summary.alert))
      return App.USAGE
    end
    local unchanged = summary.unchanged or 0
    if summary.rows == 0 then
      if unchanged == 0 then
        App.eprintf("quodrix insert: no file to rename\n")
      elseif options.text == "" then
        App.eprintf("quodrix insert: nothing to rename: the text to insert is empty\n")
      else
        App.eprintf("quodrix insert: nothing to rename: no position falls within a file's name\n")
      end
      return App.FAILED
    end
    -- A simulation shows the files that keep their names as rows, as the controller logs them; a rename in
    -- place leaves them alone and shows no row.
    local simulated = (summary.simulated or 0) - (options.simulate and unchanged or 0)
    local done = summary.rows - summary.failed - (summary.simulated or 0)
    -- In a simulation nothing failed on disk: a row the controller refused ("Failed", a name it would not
    -- make) is one that would fail.
    local failed = options.simulate and 0 or summary.failed
    App.summary({ { done, options.overwrite and "renamed" or "copied" },
      { simulated - (summary.predicted or 0), "would be renamed (simulation)" },
      { (summary.predicted or 0) + summary.failed - failed, "would fail (simulation)" }, { failed, "failed" },
      { unchanged, "unchanged" } })
    if summary.refused then
      App.eprintf("quodrix insert: the plan has failures; nothing was done (--keep-going does the rest)\n")
    end
    if summary.failed > 0 or (summary.predicted or 0) > 0 or options.missed then return App.FAILED end
    return App.OK
  end,
})
