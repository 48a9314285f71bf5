-- quodrix rename: renaming by regular expression, or from a rename list. The native plan (QDRenamePlan)
-- makes every new name, predicts every failure, orders chains and cycles and carries the plan out; this
-- script reads the command line, hands the plan its files in one call and prints the rows it gets back.

Rename = {}

local usageText = [[
usage: quodrix rename [options] FIND REPLACE FILE|FOLDER...
       quodrix rename [options] --from-list FILE [--separator S] FOLDER...
  FIND         an ICU regular expression, searched in each file name (extension included)
  REPLACE      the replacement: $0..$9 and ${name} for groups, \x for a literal x, and variables:
               {n} {n:W} the file's number (natural order of the paths; W digits, zero-padded),
               {name} the base name, {ext} the extension, {parent} the parent folder's name,
               {date} {date:FORMAT} the capture date (Exif, else modification time; strftime FORMAT),
               {exif:TAG} an Exif tag by its short name ({exif:Model}); {{ and }} for braces
  FILE|FOLDER  the files to rename; a folder gives every file below it (hidden items left out)
options:
  -x, --execute        carry the plan out (without it, only show it; nothing on disk changes)
  -e, --ignore-ext     search the base name only and keep the extension
  -o, --once           replace the first match only
      --start N        the number of the first file (default 1)
      --step N         the step between numbers (default 1)
      --case C         upper, lower or title: the case of the new base name
      --case-ext       change the case of the extension too
      --flatten        accented letters to ASCII
  -d, --dest DIR       move the files into DIR instead of renaming them in place
  -k, --keep-going     carry out what can be done even when some renames would fail
      --from-list FILE take the pairs of a rename list; present names are looked up in the FOLDERs
      --separator S    the separator of the rename list: a text, or tab, comma (default ";")
  -h, --help           this text
Write -- before FIND when it begins with "-". Without -x each changed file shows as "old -> new", or
"old -> new  would fail: CAUSE".
Exit status: 0 all done (or the plan holds), 1 something failed or nothing to do, 2 usage error.
]]

-- The options that take a value, by every name they go by.
local valued = {
  ["--start"] = "start", ["--step"] = "step", ["--case"] = "case", ["-d"] = "destination", ["--dest"] = "destination",
  ["--from-list"] = "list", ["--separator"] = "separator",
}
local flags = {
  ["-x"] = "execute", ["--execute"] = "execute", ["-e"] = "ignoreExt", ["--ignore-ext"] = "ignoreExt",
  ["-o"] = "once", ["--once"] = "once", ["--case-ext"] = "caseExt", ["--flatten"] = "flatten",
  ["-k"] = "keepGoing", ["--keep-going"] = "keepGoing", ["-h"] = "help", ["--help"] = "help",
}

-- The options and the other arguments; nil and the problem when the command line is not usable.
local function parse(args)
  local options, positional = {}, {}
  local function set(name, value)
    if valued[name] then
      if value == nil then return name .. " needs a value" end
      options[valued[name]] = value
    else
      options[flags[name]] = true
    end
  end
  local i = 1
  while i <= #args do
    local a = args[i]
    if a == "--" then
      for j = i + 1, #args do positional[#positional + 1] = args[j] end
      break
    elseif a:sub(1, 2) == "--" then
      local name, value = a:match("^(%-%-[^=]+)=(.*)$")
      name = name or a
      if not valued[name] and not flags[name] then return nil, "unknown option " .. a end
      if flags[name] and value then return nil, name .. " takes no value" end
      if valued[name] and not value then
        i = i + 1
        value = args[i]
      end
      local problem = set(name, value)
      if problem then return nil, problem end
    elseif a:sub(1, 1) == "-" and #a > 1 then
      -- Short options combine ("-xe"); one that takes a value takes the rest of the word or the next one.
      local k = 2
      while k <= #a do
        local name = "-" .. a:sub(k, k)
        if valued[name] then
          local value = a:sub(k + 1)
          if value == "" then
            i = i + 1
            value = args[i]
          end
          local problem = set(name, value)
          if problem then return nil, problem end
          break
        elseif flags[name] then
          set(name)
        else
          return nil, "unknown option " .. name
        end
        k = k + 1
      end
    else
      positional[#positional + 1] = a
    end
    i = i + 1
  end
  if options.help then return options end
  for _, key in ipairs({ "start", "step" }) do
    if options[key] ~= nil then
      local number = math.tointeger(tonumber(options[key]))
      if number == nil then return nil, "--" .. key .. " needs a whole number, not " .. options[key] end
      options[key] = number
    end
  end
  if options.case ~= nil and options.case ~= "upper" and options.case ~= "lower" and options.case ~= "title" then
    return nil, "--case takes upper, lower or title, not " .. options.case
  end
  if options.separator ~= nil and options.list == nil then return nil, "--separator goes with --from-list" end
  if options.separator ~= nil then
    options.separator = ({ tab = "\t", semicolon = ";", comma = "," })[options.separator] or options.separator
    if options.separator == "" then return nil, "--separator needs a separator" end
  end
  if options.list then
    if #positional < 1 then return nil, "--from-list needs at least one FOLDER" end
    options.list = App.absolute(options.list)
    options.folders = {}
    for _, folder in ipairs(positional) do
      local path = App.absolute(folder)
      if objc.cToolBox:hGetFilesInDir_(path) == nil then return nil, "not a folder: " .. folder end
      options.folders[#options.folders + 1] = path
    end
  else
    if #positional < 3 then return nil, "FIND, REPLACE and at least one file are needed" end
    options.find, options.replace = positional[1], positional[2]
    options.arguments = {}
    for j = 3, #positional do options.arguments[#options.arguments + 1] = App.absolute(positional[j]) end
  end
  if options.destination then options.destination = App.absolute(options.destination) end
  return options
end

-- One action-log row per change, sent to the script class myAppLog as the controllers send it; a missing
-- class yields no rows.
local function logChanges(plan)
  local log = objc.class("myAppLog")
  if log == nil then return end
  for _, values in ipairs(plan:logValues()) do
    log:hLogMyActions_______(values[1], values[2], values[3], values[4], values[5], values[6], values[7])
  end
end

-- Plans and, when asked, carries out one run. Returns the exit status.
function Rename.run(options)
  local plan = objc.QDRenamePlan:new()
  local problem
  if options.list then
    problem = plan:planList_({ list = options.list, separator = options.separator or ";", folders = options.folders,
      destination = options.destination })
  else
    problem = plan:planPattern_({ find = options.find, replace = options.replace, files = options.arguments,
      once = options.once or false, ignoreExt = options.ignoreExt or false, start = options.start or 1,
      step = options.step or 1, case = options.case or "", caseExt = options.caseExt or false,
      flatten = options.flatten or false, destination = options.destination or "" })
  end
  if problem then
    App.eprintf("quodrix rename: %s\n%s", problem, usageText)
    return 2
  end
  local failures = plan:check()
  local summary = plan:summary()
  options.missed = summary.missed
  if options.missed then
    App.eprintf("quodrix rename: not every folder could be read: %s\n", options.missed)
  end
  if summary.pairs == summary.unchanged then
    App.eprintf("quodrix rename: nothing to rename\n")
    return 1
  end
  if options.execute then
    summary = plan:execute_(options.keepGoing or false)
  end
  io.stdout:write(plan:reportText())
  io.stdout:flush()
  logChanges(plan)
  if options.execute then
    App.eprintf("%d renamed, %d failed\n", summary.done, summary.failed)
    if failures > 0 and not options.keepGoing then
      App.eprintf("quodrix rename: the plan has failures; nothing was renamed (--keep-going renames the rest)\n")
    end
    return (summary.failed > 0 or options.missed) and 1 or 0
  end
  if failures > 0 then
    App.eprintf("quodrix rename: %d of the renames would fail\n", failures)
    return 1
  end
  return options.missed and 1 or 0
end

App.command("rename", {
  summary = "rename files by a regular expression, or from a rename list (rename --help)",
  run = function(args)
    local options, problem = parse(args)
    if not options then
      App.eprintf("quodrix rename: %s\n%s", problem, usageText)
      return 2
    end
    if options.help then
      io.stdout:write(usageText)
      return 0
    end
    return Rename.run(options)
  end,
})
