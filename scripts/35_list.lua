-- quodrix list and names: renaming from a list through the list-renaming controller, and the export of
-- a file-name list. (`quodrix undo --log`, in 70_history.lua, reads a log back through ListRename.run.)

ListRename = {}

local separators = { [";"] = 0, semicolon = 0, [","] = 1, comma = 1, tab = 2, ["\t"] = 2 }

local function isFolder(path)
  return objc.readsFolder(path)
end

local function folderOf(path)
  return path:match("^(.*)/[^/]*$") or "."
end

-- A file that stands for the folder in the "rename" panel: the folder's first item that is not a folder
-- (of those that cToolBox hGetFilesInDir: lists, by the bytes of their paths), found without a URL for
-- every item of the folder.
local function fileIn(folder)
  return objc.firstFileIn(folder)
end

-- A path without "." components: the controller's rows keep the spelling of the folder ("pics/./a"), the
-- plan's rows do not.
local function withoutDots(path)
  local previous
  repeat
    previous = path
    path = path:gsub("/%./", "/")
  until path == previous
  return (path:gsub("/%.$", ""))
end

-- The key of a pair's predicted cause: both its paths, as the controller's rows give them. A present name
-- may stand in the list more than once, each time with a new name and a cause of its own.
local function pairKey(inputPath, outputPath)
  return withoutDots(inputPath) .. "\0" .. withoutDots(outputPath)
end

-- Builds the controller with its controls as the interface file does and returns both.
local function makeController(options)
  local controller = objc.cRenameTextFile:alloc():init()
  local log = ProgressLog:alloc():init()
  log:predict(options.causes, pairKey)
  local controls = {
    tfRenameTextFile = App.textField(""),
    tfDestinationOfFiles = App.textField(options.destination),
    theLogDataArrayController = log,
    myLogTableView = objc.NSTableView:new(),
    cbOverwriteMode = App.checkBox(options.overwrite),
    cbSimulationMode = App.checkBox(options.simulate),
    myMainWindow = objc.NSWindow:new(),
    myAlertWindow = objc.NSWindow:new(),
    tfAlertTitle = objc.NSTextField:new(),
    tfAlertInfo = objc.NSTextField:new(),
    pubFileNameSeparator = objc.NSPopUpButton:new(),
  }
  controls.pubFileNameSeparator:addItemsWithTitles_({ ";", ",", "Tab" })
  controls.pubFileNameSeparator:selectItemAtIndex_(options.separatorIndex or 0)
  for key, control in pairs(controls) do
    controller:setValue_forKey_(control, key)
  end
  return controller, log, controls
end

-- Runs `action(controller)` with the panels answered from `answers` (a list of panel answers, in order)
-- and alerts collected; returns the alert text, if any.
local function withPanels(answers, action)
  local previousOpen, previousAlert = objc.panels.open, objc.panels.alert
  local alert
  objc.panels.open = function(request) return table.remove(answers, 1) end
  objc.panels.alert = function(title, message) alert = alert or (title .. " " .. message) end
  local ok, err = pcall(action)
  objc.panels.open, objc.panels.alert = previousOpen, previousAlert
  if not ok then error(err, 0) end
  return alert
end

-- One renaming run from a list. `options`: list (the rename list or log file), separatorIndex,
-- source (a file in the folder that holds the files), destination, overwrite, simulate.
-- Returns { rows = n, failed = n, simulated = n, alert = text or nil, loaded = n, predicted = n or nil (the rows
-- that the log list marked as predicted to fail, see ProgressLog.predict) }.
function ListRename.run(options)
  local controller, log, controls = makeController(options)
  local alert = withPanels({ { options.list } }, function() controller:hLoadRenameTextFile_(nil) end)
  local loaded = #(controller:valueForKey_("myRenameFilesList") or {})
  log.total = loaded
  if not alert and loaded > 0 then
    alert = withPanels({ { options.source } }, function() controller:hChooseFilesToRename_(nil) end)
  end
  log:finish()
  if alert then controller:closeAlertSheetObjC_(nil) end
  return { rows = log.rowCount, failed = log.failed or 0, simulated = log.simulated or 0, alert = alert,
    loaded = loaded,
    predicted = log.predicted }
end

-- The list read no pair: why, when the file cannot be read as text (the reader's cause: not UTF-8, or
-- UTF-16), else the list's lines are what is wrong.
local function noPairs(list)
  objc.cNSFileHandling:new():hReadMfrLog__(list, ";")
  return App.lastCause() or "the list holds no usable line"
end

-- How many non-empty lines of a rename list the reader leaves out; 0 for an application log, whose header
-- and short lines are left out by design. (A planned run has the plan count them: QDRenamePlan
-- listLinesLeftOut:.)
local function linesLeftOut(path, separator)
  local file = io.open(path, "rb")
  if not file then return 0 end
  local text = file:read("a")
  file:close()
  if text == nil or text:find(App.logHeader, 1, true) then return 0 end
  local lines = 0
  for line in text:gmatch("[^\r\n]+") do lines = lines + 1 end
  local pairs = objc.cNSFileHandling:new():hReadMfrLog__(path, separator) or {}
  return math.max(lines - #pairs, 0)
end

local function withSlash(folder)
  if folder ~= "" and folder:sub(-1) ~= "/" then return folder .. "/" end
  return folder
end

-- Renaming from a list with its plan worked out first (the list command): every target and every predicted
-- failure from the native planner (QDRenamePlan planList:). A simulation shows why a row would fail; a real
-- run whose plan fails changes nothing unless kept going; renaming in place is carried out by the planner,
-- which orders chains (a to b while b to c); copies into another folder go through the controller.
ListPlanning = {}

local separatorTexts = { [";"] = ";", semicolon = ";", [","] = ",", comma = ",", tab = "\t", ["\t"] = "\t" }

-- A path of a plan row as the controller writes it: a present name that was not found stands in the
-- folder of the files, its new name in the destination.
local function asControllerPath(path, folder)
  if path == "" or path:byte(1) == 47 then return path end  -- 47: "/"
  return folder .. path
end

-- The plan of a run: the plan, the predicted causes by pair (pairKey) and their count; nil when the list
-- cannot be planned (the controller then says why).
function ListPlanning.plan(options, folder)
  local planned = objc.QDRenamePlan:new()
  local copying = not options.overwrite
  local problem = planned:planList_({ list = options.list, separator = separatorTexts[options.separator or ";"],
    folders = { folder }, destination = copying and options.destination or "", copy = copying })
  if problem then return nil end
  planned:check()
  local causes, failures = {}, 0
  for _, row in ipairs(planned:failedRows()) do
    -- Copies into another folder replace an item of the new name there, as the controller makes them.
    if not (copying and row.cause == "would replace an existing item") then
      causes[pairKey(asControllerPath(row.source, folder .. "/"), asControllerPath(row.target, options.destination))] =
        row.cause
      failures = failures + 1
    end
  end
  return planned, causes, failures
end

-- Logs and prints the rows of a plan that ran (or was refused) as the controller's rows print: paths as the
-- controller gives them, and the new name as the list gives it. Returns the printer.
local function reportListPlan(planned, folder, destination)
  local folderSlash, afterDestination = folder .. "/", #destination + 1
  -- This runs for every pair: no table and no new text but the new name.
  return App.reportPlanRows(planned, true, function(process, action, status, name, newName, inputPath, outputPath)
    inputPath, outputPath = asControllerPath(inputPath, folderSlash), asControllerPath(outputPath, destination)
    if outputPath:find(destination, 1, true) == 1 then newName = outputPath:sub(afterDestination) end
    return process, action, status, name, newName, inputPath, outputPath
  end, function(source) return asControllerPath(source, folderSlash) end)
end

-- The list loaded by the controller, as every run loads it (its separator line in the system log, the pairs
-- kept in the user defaults), for the runs that the plan carries out or refuses without the controller.
local function loadList(options)
  local controller = makeController(options)
  withPanels({ { options.list } }, function() controller:hLoadRenameTextFile_(nil) end)
end

-- One run of the list command. Returns a summary as ListRename.run does, with `predicted` (failures shown
-- in a simulation), `refused` (a real run that the plan stopped) and `leftOut` (the lines of the list that
-- are not one pair, as linesLeftOut counts them).
function ListPlanning.run(options, folder)
  local planned, causes, failures = ListPlanning.plan(options, folder)
  if planned == nil then return ListRename.run(options) end
  -- Pairs whose new name is the present name: a rename in place leaves them alone and shows no row.
  local unchanged = planned:summary().unchanged
  local summary
  if unchanged > 0 and unchanged == planned:pairCount() then
    if not options.simulate then loadList(options) end
    summary = { rows = 0, failed = 0, simulated = 0, loaded = unchanged }
  elseif failures > 0 and not options.simulate and not options.keepGoing then
    loadList(options)
    local executed = planned:execute_(false)
    local printer = reportListPlan(planned, folder, options.destination)
    summary = { rows = printer.rowCount, failed = executed.failed, simulated = 0,
      loaded = printer.rowCount + unchanged, refused = true }
  elseif options.overwrite and not options.simulate then
    loadList(options)
    local executed = planned:execute_(options.keepGoing or false)
    local printer = reportListPlan(planned, folder, options.destination)
    summary = { rows = printer.rowCount, failed = executed.failed, simulated = 0,
      loaded = printer.rowCount + unchanged }
  else
    -- The controller's log list says which simulated rows the plan predicts to fail.
    options.causes = causes
    summary = ListRename.run(options)
    options.causes = nil
    summary.predicted = summary.predicted or 0
    -- The controller shows them as it shows the others.
    summary.simulated = summary.simulated - unchanged
    summary.rows = summary.rows - unchanged
  end
  summary.unchanged = unchanged
  summary.leftOut = planned:listLinesLeftOut_(App.logHeader)
  return summary
end

App.command("list", {
  summary = "rename files from a list of present and new names (list --help)",
  usage = [[
usage: quodrix list [options] LIST SOURCE
  LIST     a rename list (.txt or .csv: present name, separator, new name on each line), or an application log
  SOURCE   the folder that holds the files to rename (or one file in it)
Each line of the list gives one row on standard output: action, status, name, old path -> new path, and for
a failed row the cause after a tab. A summary line ("12 renamed, 1 failed") ends the run on standard error.
Every target is worked out first: a simulation adds "would fail: CAUSE" after a tab to a row that would fail,
and a real run whose plan has failures changes nothing unless --keep-going. Renaming in place runs chains
(a to b while b to c) in an order in which every rename succeeds.
]],
  options = {
    { short = "s", long = "separator", key = "separator", value = "SEP",
      check = App.oneOf(";", ",", "tab", "semicolon", "comma"), help = "the separator of the list: ;, , or tab (default ;)" },
    { short = "d", long = "dest", key = "destination", value = "FOLDER",
      help = "put renamed copies there; without it the files are renamed in place" },
    { short = "n", long = "simulate", key = "simulate", help = "only show what would happen; nothing on disk changes" },
    { short = "k", long = "keep-going", key = "keepGoing",
      help = "do what can be done even when the plan has failures, file by file" },
  },
  operands = { min = 2, max = 2 },
  main = function(parsed, operands)
    local definition = App.commands.list
    local options = { separatorIndex = separators[parsed.separator or ";"], separator = parsed.separator,
      simulate = parsed.simulate, keepGoing = parsed.keepGoing }
    options.list = App.absolute(operands[1])
    local source = App.absolute(operands[2])
    local problem = App.missing(options.list, "file") or App.missing(source)
    if problem then return App.usageError(definition, problem) end
    -- The list's chooser takes only text and CSV files, as the application's window does.
    local extension = (options.list:match("%.([^./]*)$") or ""):lower()
    if extension ~= "txt" and extension ~= "csv" then
      return App.usageError(definition, operands[1] .. ": a rename list is a .txt or .csv file")
    end
    local folder = isFolder(source) and source:gsub("/+$", "") or folderOf(source)
    -- A folder that holds no file has no file to stand for it (an "or" would take the folder instead).
    if isFolder(source) then options.source = fileIn(source) else options.source = source end
    if not options.source then
      App.eprintf("quodrix list: %s holds no file\n", App.displayed(source))
      return App.FAILED
    end
    if parsed.destination then
      -- Checked as given: a file named with a "/" after it is "no such file" to the system.
      local destination = App.absolute(parsed.destination)
      problem = App.missing(destination, "folder")
      if problem then return App.usageError(definition, "the destination " .. problem) end
      options.destination = withSlash(destination)
    else
      options.destination, options.overwrite = folder .. "/", true
    end
    -- Copies into the files' own folder are the controller's to refuse (its alert), not the plan's.
    local summary = (options.overwrite or withSlash(folder) ~= options.destination) and ListPlanning.run(options, folder)
      or ListRename.run(options)
    if summary.alert then
      App.eprintf("quodrix list: %s\n", App.displayed(summary.alert))
      -- The controller's words name its window's check box; on the command line that is leaving out --dest.
      if withSlash(folder) == options.destination then
        App.eprintf("quodrix list: without --dest the files are renamed in place\n")
      end
      return App.USAGE
    end
    if summary.loaded == 0 then
      App.eprintf("quodrix list: %s\n", App.displayed(noPairs(options.list)))
      return App.FAILED
    end
    -- The reader leaves out every line that is not one pair; the command says how many it left out, so
    -- that a mistyped separator does not pass unseen.
    local leftOut = summary.leftOut or linesLeftOut(options.list, separatorTexts[parsed.separator or ";"])
    if leftOut > 0 then
      App.eprintf("quodrix list: %d line%s of %s %s not one pair (present name, separator, new name): left out\n",
        leftOut, leftOut == 1 and "" or "s", App.displayed(operands[1]), leftOut == 1 and "is" or "are")
    end
    local unchanged = summary.unchanged or 0
    if summary.rows == 0 and unchanged > 0 then
      App.eprintf("quodrix list: nothing to rename: every new name of the list is the present name\n")
      return App.FAILED
    end
    local predicted = summary.predicted or 0
    -- In a simulation nothing failed on disk: a row the controller refused would fail.
    local failed = options.simulate and 0 or summary.failed
    App.summary({ { summary.rows - summary.failed - summary.simulated, options.overwrite and "renamed" or "copied" },
      { summary.simulated - predicted, "would be renamed (simulation)" },
      { predicted + summary.failed - failed, "would fail (simulation)" }, { failed, "failed" },
      { unchanged, "unchanged" } })
    if summary.refused then
      App.eprintf("quodrix list: the plan has failures; nothing was done (--keep-going does the rest)\n")
    end
    return (summary.failed > 0 or predicted > 0) and App.FAILED or App.OK
  end,
})

App.command("names", {
  summary = "write the names of files into Quodrix_filenamelist.txt (names --help)",
  usage = [[
usage: quodrix names OUTFOLDER FILE...
  OUTFOLDER  the folder that receives Quodrix_filenamelist.txt (the names separated by carriage returns)
  FILE       the files whose names are listed, in this order
Prints the path of the list written on standard output, and a summary line on standard error.
]],
  operands = { min = 2 },
  main = function(_, operands)
    local definition = App.commands.names
    local folder = App.absolute(operands[1])
    local problem = App.missing(folder, "folder")
    if problem then return App.usageError(definition, problem) end
    local files, names, seen = {}, {}, {}
    for j = 2, #operands do
      local path = App.absolute(operands[j])
      problem = App.missing(path, "file")
      if problem then return App.usageError(definition, problem) end
      -- The file panel keeps a repeated item once.
      if not seen[path] then
        seen[path] = true
        files[#files + 1] = path
        names[#names + 1] = path:match("([^/]*)$")
      end
    end
    local controller = makeController({})
    local alert = withPanels({ files, { folder } }, function() controller:hCreateFileNameList_(nil) end)
    local failure = objc.lastFailure()
    local written = folder:gsub("/+$", "") .. "/Quodrix_filenamelist.txt"
    -- The list counts as written only when the file holds these names: an older list left there by another
    -- run is not this run's result.
    local check = io.open(written, "rb")
    local text = check and check:read("a")
    if check then check:close() end
    if text ~= table.concat(names, "\r") then
      App.eprintf("quodrix names: %s was not written%s\n", written,
        (alert and (": " .. alert)) or (failure and (": " .. App.displayed(failure))) or "")
      return App.FAILED
    end
    App.printf("%s\n", written)
    App.summary({ { #names, #names == 1 and "name written" or "names written" } })
    return App.OK
  end,
})
