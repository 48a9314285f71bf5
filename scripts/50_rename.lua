-- quodrix rename: renaming by regular expression, or from a rename list. The native plan (QDRenamePlan)
-- makes every new name, predicts every failure, orders chains and cycles and carries the plan out; this
-- script reads the command line, hands the plan its files in one call and prints the rows it gets back.

Rename = {}

local usage = [[
usage: quodrix rename [options] FIND REPLACE FILE|FOLDER...
       quodrix rename [options] --from-list FILE [--separator S] FOLDER...
  FIND         an ICU regular expression, searched in each file name (extension included)
  REPLACE      the replacement: $0..$9 and ${name} for groups, \x for a literal x, and variables:
               {n} {n:W} the file's number (natural order of the paths; W digits up to 99, zero-padded),
               {name} the base name, {ext} the extension, {parent} the parent folder's name,
               {date} {date:FORMAT} the capture date (Exif, else modification time; strftime FORMAT),
               {exif:TAG} an Exif tag by its short name ({exif:Model}); {{ and }} for braces
  FILE|FOLDER  the files to rename; a folder gives every file below it (hidden items left out)
The whole plan is worked out first. Each changed file gives one row on standard output: action, status,
name, old path -> new path, and after a tab the cause of a failed row, or "would fail: CAUSE" for a row of
the plan (without -x) that would fail. A summary line ("12 renamed, 1 failed") ends the run on standard
error. A plan with failures renames nothing unless --keep-going. FIND that begins with "-" comes after "--".
]]

local function wholeNumber(text)
  local number = math.tointeger(tonumber(text))
  if number == nil or not text:match("^%s*[-+]?%d+%s*$") then return nil, "not a whole number" end
  return number
end

local function separator(text)
  local named = ({ tab = "\t", semicolon = ";", comma = "," })[text] or text
  if named == "" then return nil, "an empty separator" end
  return named
end

local options = {
  { short = "x", long = "execute", key = "execute",
    help = "carry the plan out (without it, only show it; nothing on disk changes)" },
  { short = "e", long = "ignore-ext", key = "ignoreExt", help = "search the base name only and keep the extension" },
  { short = "o", long = "once", key = "once", help = "replace the first match only" },
  { long = "start", key = "start", value = "N", check = wholeNumber, help = "the number of the first file (default 1)" },
  { long = "step", key = "step", value = "N", check = wholeNumber, help = "the step between numbers (default 1)" },
  { long = "case", key = "case", value = "C", check = App.oneOf("upper", "lower", "title"),
    help = "upper, lower or title: the case of the new base name" },
  { long = "case-ext", key = "caseExt", help = "change the case of the extension too" },
  { long = "flatten", key = "flatten", help = "accented Latin letters to ASCII (other scripts stay)" },
  { short = "d", long = "dest", key = "destination", value = "DIR",
    help = "move the files into DIR instead of renaming them in place" },
  { short = "k", long = "keep-going", key = "keepGoing",
    help = "carry out what can be done even when some renames would fail" },
  { long = "from-list", key = "list", value = "FILE",
    help = "take the pairs of a rename list; present names are looked up in the FOLDERs" },
  { long = "separator", key = "separator", value = "S", check = separator,
    help = "the separator of the rename list: a text, or tab, comma (default ;)" },
}

-- Completes the parsed command line: the operands as FIND, REPLACE and files, or as the folders of a rename
-- list, every path absolute. Returns nil and why for a command line that cannot be used.
local function complete(parsed, operands)
  if parsed.separator ~= nil and parsed.list == nil then return nil, "--separator goes with --from-list" end
  if parsed.list then
    if #operands < 1 then return nil, "--from-list needs at least one FOLDER" end
    parsed.list = App.absolute(parsed.list)
    parsed.folders = {}
    for _, folder in ipairs(operands) do
      local path = App.absolute(folder)
      if not objc.readsFolder(path) then return nil, "not a folder: " .. folder end
      parsed.folders[#parsed.folders + 1] = path
    end
  else
    if #operands < 3 then return nil, "FIND, REPLACE and at least one file are needed" end
    parsed.find, parsed.replace = operands[1], operands[2]
    -- The expression and the new names are Unicode text: bytes that are not UTF-8 would become U+FFFD.
    if not utf8.len(parsed.find) then return nil, "FIND is not UTF-8 text" end
    if not utf8.len(parsed.replace) then return nil, "REPLACE is not UTF-8 text" end
    parsed.arguments = {}
    for j = 3, #operands do
      local argument = App.absolute(operands[j])
      local missing = App.missing(argument)
      if missing then return nil, missing end
      parsed.arguments[#parsed.arguments + 1] = argument
    end
  end
  if parsed.destination then
    parsed.destination = App.absolute(parsed.destination)
    local missing = App.missing(parsed.destination, "folder")
    if missing then return nil, "the destination " .. missing end
  end
  return parsed
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
  if problem then return App.usageError(App.commands.rename, problem) end
  local failures = plan:check()
  local summary = plan:summary()
  options.missed = summary.missed
  if summary.unsearchable then
    App.eprintf("quodrix rename: %d name%s left alone: not valid UTF-8, so the expression cannot search %s\n",
      summary.unsearchable, summary.unsearchable == 1 and "" or "s", summary.unsearchable == 1 and "it" or "them")
  end
  if options.missed then
    App.eprintf("quodrix rename: not every folder could be read: %s\n", App.displayed(options.missed))
  end
  if summary.pairs == summary.unchanged then
    -- Why, in the words of what was given.
    local searchable = summary.searched - (summary.unsearchable or 0)
    local why = options.list and "nothing to rename: every new name of the list is the present name"
      or summary.pairs > 0 and "nothing to rename: FIND and REPLACE change no file's name"
      or searchable > 0 and "nothing to rename: FIND matches no file's name"
      or "no file to rename"
    App.eprintf("quodrix rename: %s\n", why)
    return App.FAILED
  end
  if options.execute then
    summary = plan:execute_(options.keepGoing or false)
  end
  App.reportPlanRows(plan, options.execute)
  if options.execute then
    App.summary({ { summary.done, "renamed" }, { summary.failed, "failed" } })
    if failures > 0 and not options.keepGoing then
      App.eprintf("quodrix rename: the plan has failures; nothing was renamed (--keep-going renames the rest)\n")
    end
    return (summary.failed > 0 or options.missed) and App.FAILED or App.OK
  end
  App.summary({ { summary.planned, "would be renamed (simulation)" }, { failures, "would fail (simulation)" } })
  return (failures > 0 or options.missed) and App.FAILED or App.OK
end

App.command("rename", {
  summary = "rename files by a regular expression, or from a rename list (rename --help)",
  usage = usage,
  options = options,
  operands = { min = 1 },
  main = function(parsed, operands)
    local completed, problem = complete(parsed, operands)
    if not completed then return App.usageError(App.commands.rename, problem) end
    return Rename.run(completed)
  end,
})
