-- quodrix list and names: renaming from a list through the list-renaming controller, and the export of
-- a file-name list. (`quodrix undo --log`, in 70_history.lua, reads a log back through ListRename.run.)

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
  return { rows = #log.rows, failed = log.failed or 0, alert = alert, loaded = loaded }
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

local listUsage = [[
usage: quodrix list [options] LIST SOURCE
  LIST     a rename list (.txt or .csv: present name, separator, new name on each line), or an application log
  SOURCE   the folder that holds the files to rename (or one file in it)
options:
  -s, --separator ;|,|tab  the separator of the list (default ;)
  -d, --dest FOLDER        put renamed copies there; without it the files are renamed in place
  -n, --simulate           only show what would happen; nothing on disk changes
]]

App.command("list", {
  summary = "rename files from a list of present and new names (list --help)",
  run = function(args)
    local options, positional = { separatorIndex = 0 }, {}
    local i = 1
    while i <= #args do
      local a = args[i]
      if a == "--help" or a == "-h" then
        io.stdout:write(listUsage)
        return 0
      elseif a == "-s" or a == "--separator" then
        i = i + 1
        options.separatorIndex = separators[args[i] or ""]
        if not options.separatorIndex then
          App.eprintf("quodrix list: the separator is ;, , or tab\n")
          return 2
        end
      elseif a == "-d" or a == "--dest" then
        i = i + 1
        options.destination = args[i]
      elseif a == "-n" or a == "--simulate" then
        options.simulate = true
      elseif a:sub(1, 1) == "-" and #a > 1 then
        App.eprintf("quodrix list: unknown option %s\n%s", a, listUsage)
        return 2
      else
        positional[#positional + 1] = a
      end
      i = i + 1
    end
    if #positional ~= 2 then
      App.eprintf("quodrix list: LIST and SOURCE are needed\n%s", listUsage)
      return 2
    end
    options.list = App.absolute(positional[1])
    local source = App.absolute(positional[2])
    local folder = isFolder(source) and source:gsub("/+$", "") or folderOf(source)
    options.source = isFolder(source) and fileIn(source) or source
    if not options.source then
      App.eprintf("quodrix list: %s holds no file\n", source)
      return 1
    end
    if options.destination then
      options.destination = withSlash(App.absolute(options.destination))
    else
      options.destination, options.overwrite = folder .. "/", true
    end
    return report("list", ListRename.run(options))
  end,
})

App.command("names", {
  summary = "write the names of files into Quodrix_filenamelist.txt: names OUTFOLDER FILE...",
  run = function(args)
    if #args < 2 then
      App.eprintf("usage: quodrix names OUTFOLDER FILE...\n")
      return 2
    end
    local files = {}
    for j = 2, #args do files[#files + 1] = args[j] end
    local controller = makeController({})
    withPanels({ files, { args[1] } }, function() controller:hCreateFileNameList_(nil) end)
    local written = args[1]:gsub("/+$", "") .. "/Quodrix_filenamelist.txt"
    local check = io.open(written, "rb")
    if not check then
      App.eprintf("quodrix names: nothing was written\n")
      return 1
    end
    check:close()
    App.printf("%s\n", written)
    return 0
  end,
})
