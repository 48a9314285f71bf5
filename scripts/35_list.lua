-- quodrix list, names and undo: renaming from a list through the list-renaming controller, the export of
-- a file-name list, and the reversal of the last run from its application log.

ListRename = {}

local separators = { [";"] = 0, semicolon = 0, [","] = 1, comma = 1, tab = 2, ["\t"] = 2 }

local function shellQuote(text)
  return "'" .. text:gsub("'", "'\\''") .. "'"
end

local function isFolder(path)
  return objc.cToolBox:hGetFilesInDir_(path) ~= nil
end

local function folderOf(path)
  return path:match("^(.*)/[^/]*$") or "."
end

-- A file that stands for the folder in the "rename" panel: the folder's first item that is not a folder.
local function fileIn(folder)
  local urls = objc.cToolBox:hGetFilesInDir_(folder) or {}
  local names = {}
  for _, url in ipairs(urls) do
    local text = url:absoluteString()
    if text:sub(-1) ~= "/" then names[#names + 1] = url:path() end
  end
  table.sort(names)
  return names[1]
end

-- Builds the controller with its controls as the interface file does and returns both.
local function makeController(options)
  local controller = objc.cRenameTextFile:alloc():init()
  local log = ProgressLog:alloc():init()
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
-- Returns { rows = n, failed = n, alert = text or nil, loaded = n }.
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
  return { rows = #log.rows, failed = log.failed or 0, simulated = log.simulated or 0, alert = alert, loaded = loaded }
end

local function report(name, summary)
  if summary.alert then
    App.eprintf("quodrix %s: %s\n", name, summary.alert)
    return 2
  end
  if summary.loaded == 0 then
    App.eprintf("quodrix %s: the list holds no usable line\n", name)
    return 1
  end
  if summary.failed > 0 then
    App.eprintf("quodrix %s: %d of %d files failed\n", name, summary.failed, summary.rows)
    return 1
  end
  return 0
end

local function withSlash(folder)
  if folder ~= "" and folder:sub(-1) ~= "/" then return folder .. "/" end
  return folder
end

App.command("list", {
  summary = "rename files from a list of present and new names (list --help)",
  usage = [[
usage: quodrix list [options] LIST SOURCE
  LIST     a rename list (.txt or .csv: present name, separator, new name on each line), or an application log
  SOURCE   the folder that holds the files to rename (or one file in it)
Each line of the list gives one row on standard output: action, status, name, old path -> new path, and for
a failed row the cause after a tab. A summary line ("12 renamed, 1 failed") ends the run on standard error.
]],
  options = {
    { short = "s", long = "separator", key = "separator", value = "SEP",
      check = App.oneOf(";", ",", "tab", "semicolon", "comma"), help = "the separator of the list: ;, , or tab (default ;)" },
    { short = "d", long = "dest", key = "destination", value = "FOLDER",
      help = "put renamed copies there; without it the files are renamed in place" },
    { short = "n", long = "simulate", key = "simulate", help = "only show what would happen; nothing on disk changes" },
  },
  operands = { min = 2, max = 2 },
  main = function(parsed, operands)
    local definition = App.commands.list
    local options = { separatorIndex = separators[parsed.separator or ";"], simulate = parsed.simulate }
    options.list = App.absolute(operands[1])
    local source = App.absolute(operands[2])
    local problem = App.missing(options.list, "file") or App.missing(source)
    if problem then return App.usageError(definition, problem) end
    local folder = isFolder(source) and source:gsub("/+$", "") or folderOf(source)
    options.source = isFolder(source) and fileIn(source) or source
    if not options.source then
      App.eprintf("quodrix list: %s holds no file\n", source)
      return App.FAILED
    end
    if parsed.destination then
      options.destination = withSlash(App.absolute(parsed.destination))
      problem = App.missing(options.destination, "folder")
      if problem then return App.usageError(definition, "the destination " .. problem) end
    else
      options.destination, options.overwrite = folder .. "/", true
    end
    local summary = ListRename.run(options)
    if summary.alert then
      App.eprintf("quodrix list: %s\n", summary.alert)
      return App.USAGE
    end
    if summary.loaded == 0 then
      App.eprintf("quodrix list: the list holds no usable line\n")
      return App.FAILED
    end
    App.summary({ { summary.rows - summary.failed - summary.simulated, options.overwrite and "renamed" or "copied" },
      { summary.simulated, "would be renamed (simulation)" }, { summary.failed, "failed" } })
    return summary.failed > 0 and App.FAILED or App.OK
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
        (alert and (": " .. alert)) or (failure and (": " .. failure)) or "")
      return App.FAILED
    end
    App.printf("%s\n", written)
    App.summary({ { #names, #names == 1 and "name written" or "names written" } })
    return App.OK
  end,
})

-- The lines of an application log whose files were really renamed, as a log file of their own, with the
-- folders they went from and to.
local function successfulRun(logPath)
  local file = io.open(logPath, "rb")
  if not file then return nil, "cannot read " .. logPath end
  local text = file:read("a")
  file:close()
  local lines, from, to = {}, nil, nil
  local inLog = false
  for line in text:gmatch("[^\r\n]+") do
    if line == App.logHeader then
      inLog = true
    elseif inLog then
      local f = {}
      for field in (line .. "\t"):gmatch("([^\t]*)\t") do f[#f + 1] = field end
      local status = f[6]
      if #f >= 8 and (status == "successfull" or status == "OK") then
        lines[#lines + 1] = line
        from = from or folderOf(f[7])
        to = to or folderOf(f[8])
      end
    end
  end
  if #lines == 0 then return nil, "the log names no file that was renamed" end
  return { lines = lines, inputFolder = from, outputFolder = to }
end

App.command("undo", {
  summary = "reverse the last run from its application log: undo [LOGFILE]",
  run = function(args)
    local logPath = args[1] or App.logFilePath()
    local run, problem = successfulRun(logPath)
    if not run then
      App.eprintf("quodrix undo: %s\n", problem)
      return 1
    end
    -- The reversal is logged like any run, so read the old log before it is started afresh.
    local placeholder = os.tmpname()
    local temp = placeholder .. ".txt"
    os.remove(placeholder)
    local out = assert(io.open(temp, "wb"))
    out:write(App.logHeader, "\n", table.concat(run.lines, "\n"), "\n")
    out:close()
    local reversed = {}
    for _, line in ipairs(run.lines) do
      local f = {}
      for field in (line .. "\t"):gmatch("([^\t]*)\t") do f[#f + 1] = field end
      reversed[#reversed + 1] = f[8]
    end
    local source
    for _, path in ipairs(reversed) do
      local probe = io.open(path, "rb")
      if probe then
        probe:close()
        source = path
        break
      end
    end
    if not source then
      os.remove(temp)
      App.eprintf("quodrix undo: none of the renamed files is where the log left it\n")
      return 1
    end
    local summary = ListRename.run({
      list = temp,
      separatorIndex = 2,
      source = source,
      destination = run.inputFolder .. "/",
      overwrite = run.inputFolder == run.outputFolder,
    })
    os.remove(temp)
    return report("undo", summary)
  end,
})
