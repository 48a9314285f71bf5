-- The bundled application: a command-line front end over the native classes. This file holds what the
-- other scripts share: the command table, output helpers and the application log file.

App = {
  commands = {},   -- name -> a command definition (see App.command), with run = function(args) -> status
  order = {},
}

-- The exit status of every command, as each --help and the man page say it.
App.OK, App.FAILED, App.USAGE = 0, 1, 2
App.exitStatusText = [[
exit status:
  0  all was done
  1  something failed, or there was nothing to do
  2  a usage error or refused input
]]

-- A command is defined by a table:
--   summary   one line for `quodrix help`
--   usage     the synopsis and the operands, as --help prints it (the option list and the exit statuses
--             are added from `options`)
--   options   a list of { short = "n", long = "simulate", key = "simulate", help = "..." } for a switch, or with
--             value = "FOLDER" (and check = function(text) -> value | nil, why) for an option that takes a value
--   operands  { min = n, max = n or nil }: how many operands the command takes
--   main      function(options, operands) -> exit status, called with the parsed command line
-- App.commands[name].run(args) parses the arguments and runs `main`: help, usage errors and the exit status
-- of refused command lines are the same for every command by construction. A definition with `run` and no
-- `main` keeps its own handling of its arguments.
function App.command(name, definition)
  definition.name = name
  if definition.main then
    definition.run = function(args) return App.runCommand(definition, args) end
  end
  App.commands[name] = definition
  App.order[#App.order + 1] = name
end

-- The full --help text of a command.
function App.helpText(definition)
  local lines = { definition.usage }
  if lines[1]:sub(-1) ~= "\n" then lines[1] = lines[1] .. "\n" end
  lines[#lines + 1] = "options:\n"
  local all = {}
  for _, option in ipairs(definition.options or {}) do all[#all + 1] = option end
  all[#all + 1] = { short = "h", long = "help", help = "print this text and do nothing else" }
  for _, option in ipairs(all) do
    local names = (option.short and ("-" .. option.short .. ", ") or "    ") .. "--" .. option.long
    if option.value then names = names .. " " .. option.value end
    lines[#lines + 1] = string.format("  %-24s %s\n", names, option.help or "")
  end
  lines[#lines + 1] = "  --                       end of options: every later argument is an operand\n"
  lines[#lines + 1] = App.exitStatusText
  return table.concat(lines)
end

-- The lines of a usage text that show how the command is called ("usage: quodrix ..." and the forms below
-- it), and where the rest is: what follows a refused command line, which the whole text would push out of
-- sight.
function App.usageSynopsis(name, usage)
  local lines = {}
  for line in usage:gmatch("[^\n]+") do
    if not (line:find("^usage: ") or (#lines > 0 and line:find("^%s+quodrix "))) then break end
    lines[#lines + 1] = line .. "\n"
  end
  lines[#lines + 1] = string.format("(quodrix %s --help tells more)\n", name)
  return table.concat(lines)
end

-- Refuses a command line: the problem and how the command is called on standard error; returns
-- App.USAGE. The problem quotes what was typed, shown as names are (App.displayed), so that no argument
-- acts on the terminal.
function App.usageError(definition, problem)
  App.eprintf("quodrix %s: %s\n%s", definition.name, App.displayed(problem),
    App.usageSynopsis(definition.name, definition.usage))
  return App.USAGE
end

-- Parses `args` by the command's option table. Returns options, operands; or nil, "help"; or nil, false, why.
function App.parseArguments(definition, args)
  local byShort, byLong = {}, {}
  for _, option in ipairs(definition.options or {}) do
    if option.short then byShort[option.short] = option end
    byLong[option.long] = option
  end
  -- Help anywhere before "--" wins over every other word of the command line.
  for _, a in ipairs(args) do
    if a == "--" then break end
    if a == "--help" then return nil, "help" end
    if a:sub(1, 1) == "-" and a:sub(2, 2) ~= "-" then
      -- A cluster of short switches ("-nh"), up to the first option that takes a value.
      for j = 2, #a do
        local letter = a:sub(j, j)
        if letter == "h" then return nil, "help" end
        if not byShort[letter] or byShort[letter].value then break end
      end
    end
  end
  local options, operands = {}, {}
  local function take(option, value)
    if option.check then
      local checked, why = option.check(value)
      if checked == nil then
        return string.format("--%s %s: %s", option.long, value, why or "not a valid value")
      end
      value = checked
    end
    options[option.key] = value
  end
  local i = 1
  while i <= #args do
    local a = args[i]
    if a == "--" then
      for j = i + 1, #args do operands[#operands + 1] = args[j] end
      break
    elseif a:sub(1, 2) == "--" then
      local long, value = a:match("^%-%-([^=]+)=(.*)$")
      long = long or a:sub(3)
      local option = byLong[long]
      if not option then return nil, false, "unknown option --" .. long end
      if option.value then
        if value == nil then
          i = i + 1
          value = args[i]
          if value == nil then return nil, false, string.format("--%s needs a value (%s)", long, option.value) end
        end
        local problem = take(option, value)
        if problem then return nil, false, problem end
      else
        if value ~= nil then return nil, false, "--" .. long .. " takes no value" end
        options[option.key] = true
      end
    elseif a:sub(1, 1) == "-" and #a > 1 then
      local j = 2
      while j <= #a do
        local letter = a:sub(j, j)
        local option = byShort[letter]
        if not option then return nil, false, "unknown option -" .. letter end
        if option.value then
          local value = a:sub(j + 1)
          if value == "" then
            i = i + 1
            value = args[i]
            if value == nil then
              return nil, false, string.format("-%s needs a value (%s)", letter, option.value)
            end
          end
          local problem = take(option, value)
          if problem then return nil, false, problem end
          break
        end
        options[option.key] = true
        j = j + 1
      end
    else
      operands[#operands + 1] = a
    end
    i = i + 1
  end
  local range = definition.operands or { min = 0, max = 0 }
  if #operands < (range.min or 0) then
    return nil, false, "missing arguments"
  end
  if range.max and #operands > range.max then
    return nil, false, "too many arguments: " .. operands[range.max + 1]
  end
  return options, operands
end

function App.runCommand(definition, args)
  local options, operands, problem = App.parseArguments(definition, args)
  if operands == "help" then
    io.stdout:write(App.helpText(definition))
    return App.OK
  end
  if not options then return App.usageError(definition, problem) end
  App.startSystemLog()
  return definition.main(options, operands)
end

-- Checks of option values: each returns the value to use, or nil and why the text is refused.
function App.positiveInteger(text)
  local n = math.tointeger(tonumber(text))
  if n == nil or not text:match("^%s*%d+%s*$") or n < 1 then return nil, "not a whole number of 1 or more" end
  return n
end

function App.oneOf(...)
  local allowed = { ... }
  return function(text)
    -- Letters in any case ("a4", "TAB", "Upper") name the word as it is written here.
    local lower = text:lower()
    for _, word in ipairs(allowed) do
      if word:lower() == lower then return word end
    end
    return nil, "not one of " .. table.concat(allowed, ", ")
  end
end

-- The native side's diagnostic lines go into a file of the state folder rather than onto the terminal; they
-- stay on standard error when that file cannot be made.
local systemLogStarted = false
function App.startSystemLog()
  if systemLogStarted then return end
  systemLogStarted = true
  local folder = objc.paths.state
  if objc.itemKind(folder) ~= "folder" then objc.cNSFileHandling:new():hCreateDirectory_(folder) end
  local _ = objc.systemLogTo(folder .. "/system.log")
end

-- An item of the command line that must exist: nil, or why it cannot be used.
function App.missing(path, kind)
  local found = objc.itemKind(path)
  if found == nil then return path .. ": no such file or folder" end
  if kind == "folder" and found ~= "folder" then return path .. ": not a folder" end
  if kind == "file" and found ~= "file" then return path .. ": not a file" end
  return nil
end

-- The rows that an interrupted run printed as failed because it made no change after the signal: the
-- summary counts them as not done rather than failed.
App.notDone = 0

-- Whether `cause` (of a failed row, a store or an undo line) is the run's interruption, as it is or as
-- "not done: " and it: such an item was left as it was, and nothing failed.
function App.causedByInterruption(cause)
  if type(cause) ~= "string" or not cause:find("interrupted", 1, true) then return false end
  local interrupted = objc.journal.interrupted()
  return interrupted ~= nil and (cause == interrupted or cause == "not done: " .. interrupted)
end

-- The summary line at the end of a run, on standard error: counts in the command's words, those that are
-- 0 left out after the first ("3 renamed, 1 failed"; "nothing renamed" for none at all).
function App.summary(parts)
  local words = {}
  for _, part in ipairs(parts) do
    local count = part[1]
    if part[2] == "failed" and App.notDone > 0 then count = count - App.notDone end
    if count > 0 then words[#words + 1] = string.format("%d %s", count, part[2]) end
  end
  if App.notDone > 0 then words[#words + 1] = string.format("%d not done (interrupted)", App.notDone) end
  if #words == 0 then words[1] = string.format("0 %s", parts[1][2]) end
  App.eprintf("%s\n", table.concat(words, ", "))
end

-- A name or path as a row shows it: control characters and bytes that are not UTF-8 as \xHH (tab and
-- newline as \t and \n), so that every row stays one line of text.
function App.displayed(text)
  if type(text) ~= "string" then text = tostring(text or "") end
  return objc.displayed(text)
end

-- Why the last message a script sent failed, without the operation the native side named with it (often
-- only the message's name, "hStoreFiles2::", which means nothing to the user); nil when it recorded nothing.
function App.lastCause()
  return objc.lastCause()
end

function App.printf(fmt, ...)
  io.stdout:write(string.format(fmt, ...))
  io.stdout:flush()
end

-- Callers show the names and texts a message quotes as rows show them (App.displayed), which also keeps a
-- line break in a name from splitting the message. Whatever a caller leaves raw, no control character but
-- the message's own line ends and tabs reaches the terminal: the others show as \xHH.
local function withoutControls(text)
  if not text:find("[\0-\8\11-\31\127\194]") then return text end
  text = text:gsub("[\0-\8\11-\31\127]", function(c) return string.format("\\x%02X", c:byte()) end)
  return (text:gsub("\194([\128-\159])", function(c) return string.format("\\xC2\\x%02X", c:byte()) end))
end

-- App.lastError keeps the text last written, so that a cause already told is not told twice.
function App.eprintf(fmt, ...)
  local text = withoutControls(string.format(fmt, ...))
  io.stdout:flush()
  io.stderr:write(text)
  io.stderr:flush()
  App.lastError = text
end

-- Whether standard output is a terminal (for progress lines).
function App.isTerminal()
  return objc.isTerminal(1)
end

-- The application log file: a header line, then one tab-separated line per entry. Field 2 is the input
-- name and field 4 the output name, so that the file read back as a rename list reverses a run.
App.logHeader = "Quodrix Log (tab delimited)"

-- Every path of a command line is made absolute before use, so that no other spelling of a folder is
-- taken for another folder.
function App.absolute(path)
  return objc.absolutePath(path) or path
end

-- The folders and files the native side knows (objc.paths), read anew at each call.
function App.supportFolder()
  return objc.paths.support
end

function App.logFilePath()
  return objc.paths.logFile
end

-- The log file is appended to: runs that write at the same time (and the runs before) keep their rows.
-- The rows are kept natively and go to the file in blocks, each with one write(2) (objc.logRow and
-- objc.flushLogRows; the header is written when the file is new or empty), so that every write ends on a
-- row boundary and rows of two processes never interleave. A tab or line end in a field is written as
-- "\t", "\n" or "\r", not as a space: a name with a tab then stays one field, and no name can be read back
-- as the name of another file. Commands call App.flushLog when they finish.
local logPath
local logHeader, logHeaderLine

-- A log file that cannot be written is told once, and the run has failed: its rows are its account.
local function logFailure(problem)
  App.eprintf("quodrix: cannot write the log file: %s\n", App.displayed(problem))
  App.logFailed = true
  logPath = false
end

function App.appendLogLine(entry)
  if logPath == nil then
    objc.cNSFileHandling:new():hCreateDirectory_(App.supportFolder())
    logPath = App.logFilePath()
  end
  if not logPath then return end
  if App.logHeader ~= logHeader then logHeader, logHeaderLine = App.logHeader, App.logHeader .. "\n" end
  -- The date is written as the local time of its second; a field that is not a text is written as its text
  -- form, nil as nothing.
  local problem = objc.logRow(logPath, logHeaderLine, entry.LogDate, entry.LogProcess, entry.LogI, entry.LogAction,
    entry.LogO, entry.LogStatus, entry.LogIpath, entry.LogOpath)
  if problem then
    logFailure(problem)
  end
end

function App.flushLog()
  if not logPath then return end
  local problem = objc.flushLogRows()
  if problem then
    logFailure(problem)
  end
end

-- Rows still kept when the application ends without App.flushLog (a command that returned early, a script
-- error) are written when the Lua state closes.
App.logFlusher = setmetatable({}, { __gc = function() App.flushLog() end })

-- A log list that prints each row as it arrives; controllers get it as their log array controller.
LogPrinter = objc.defineClass("LogPrinter")

-- displayNames: show names and paths as App.displayed does (control characters escaped), so that no name
-- can break a row apart or forge one; on unless a caller turns it off. `rows` keeps every row that came, in
-- order (false keeps none), `rowCount` counts them.
function LogPrinter.init(self)
  self.rows, self.rowCount, self.displayNames = {}, 0, true
  return self
end

-- The loops over the rows of one file go as ipairs goes (up to the first nil), without its function calls:
-- they run for every file of a run, where ipairs cost more than the loop's own work.
function LogPrinter.addObjects_(self, rows)
  local kept = self.rows
  local i, row = 1, rows[1]
  while row ~= nil do
    if kept then kept[#kept + 1] = row end
    self.rowCount = self.rowCount + 1
    -- Standard output is line-buffered on a terminal, so each row shows as it arrives there; into a
    -- file or a pipe the rows go out in blocks.
    -- A failed row carries its own cause (the native side's record of why, unless the row came with one),
    -- after a tab; a simulated row that a plan predicts to fail says so in the same place. Causes are shown
    -- as names are (App.displayed): a name in one cannot break the row or act on the terminal.
    local cause = ""
    if row.LogStatus == "Failed" then
      local why = row.LogCause or objc.rowFailure() or "unknown cause"
      row.LogCause = why
      cause = "\t" .. App.displayed(why)
      if App.causedByInterruption(why) then App.notDone = App.notDone + 1 end
    elseif row.LogPrediction then
      cause = "\twould fail: " .. App.displayed(row.LogPrediction)
    end
    -- Names shown as App.displayed shows them, unless the list was told otherwise.
    objc.printRow(self.displayNames, row.LogAction, row.LogStatus, row.LogI, row.LogIpath, row.LogOpath, cause)
    i = i + 1
    row = rows[i]
  end
end

function LogPrinter.reloadData(self) end

-- Logs and prints the rows of a rename plan (QDRenamePlan) as the controllers' rows print: one action-log
-- row per pair through the script class myAppLog, as the controllers send it, then to the printer. A pair
-- that failed carries its cause: as the row's cause when the plan was carried out or refused (`executed`),
-- as "would fail: CAUSE" in a simulation. `shape(...)`, when given, takes the seven log values of a pair and
-- returns them as the command logs them, and `rowPath(source)` the input path of a pair's row. Returns the
-- printer.
function App.reportPlanRows(plan, executed, shape, rowPath)
  rowPath = rowPath or function(source) return source end
  -- A row's cause is looked up by its path only when some pair failed: a look-up hashes the whole path,
  -- a new text for every row.
  local causes, anyCause = {}, false
  for _, row in ipairs(plan:failedRows()) do
    causes[rowPath(row.source)] = row.cause
    anyCause = true
  end
  local log = objc.class("myAppLog")
  local printer = ProgressLog:alloc():init()
  if log == nil then return printer end
  -- The values come in flat tables, seven a change: a table for every change cost more than its row. They
  -- come a part of the plan at a time: all at once, a plan of a million changes held seven million texts.
  -- The texts of a part of 1,024 changes take a few hundred kilobytes while they are used: a run of 10,000
  -- files peaks 2 MB lower than with parts of 4,096, and the collector has less to go over.
  local pairCount, part = plan:pairCount(), 1024
  for first = 0, pairCount - 1, part do
    local texts = plan:logTextsFrom_count_(first, part)
    -- The rows of a part go to the printer together: a call of the printer for every row cost more than
    -- printing it.
    local partRows, count = {}, 0
    for i = 1, #texts, 7 do
      local process, action, status, name, newName, path, newPath =
        texts[i], texts[i + 1], texts[i + 2], texts[i + 3], texts[i + 4], texts[i + 5], texts[i + 6]
      if shape then
        process, action, status, name, newName, path, newPath =
          shape(process, action, status, name, newName, path, newPath)
      end
      local rows = log:hLogMyActions_______(process, action, status, name, newName, path, newPath)
      local k, row = 1, rows[1]
      while row ~= nil do
        local cause = anyCause and causes[row.LogIpath]
        if cause and executed then row.LogCause = cause elseif cause then row.LogPrediction = cause end
        count = count + 1
        partRows[count] = row
        k = k + 1
        row = rows[k]
      end
    end
    if count > 0 then printer:addObjects_(partRows) end
  end
  printer:finish()
  return printer
end

-- Controls made the way the application's interface file makes them.
function App.textField(text)
  local field = objc.NSTextField:new()
  field:setStringValue_(text or "")
  return field
end

function App.checkBox(on)
  local box = objc.NSButton:new()
  box:setState_(on and 1 or 0)
  return box
end

-- Whether standard error is a terminal: progress is shown there.
local stderrIsTerminal
function App.progressWanted()
  if stderrIsTerminal == nil then
    stderrIsTerminal = objc.isTerminal(2)
  end
  return stderrIsTerminal
end

-- A log list that prints each row as it arrives, counts the failures and, on a terminal, shows how far a
-- run of `total` files has come.
ProgressLog = objc.defineClass("ProgressLog", "LogPrinter")

-- Every field is set here: a field missing from an instance would be looked up as a method each time.
-- The rows of a run are printed and counted, not kept: a run of a million files would keep a million tables.
function ProgressLog.init(self)
  LogPrinter.init(self)
  self.rows = false
  self.total, self.failed, self.simulated, self.progressShown = 0, 0, 0, false
  self.causes, self.causeKey, self.predicted = false, false, 0
  return self
end

-- For a run whose plan was worked out first: a simulated row whose input path is in `causes` (or the key
-- `key(input path, output path)`, when given) says why the plan predicts it to fail (row.LogPrediction),
-- counted in self.predicted.
function ProgressLog.predict(self, causes, key)
  self.causes, self.causeKey = causes or false, key or false
end

function ProgressLog.addObjects_(self, rows)
  -- Each row counted, and a predicted failure put on a simulated row before it is printed.
  local causes, causeKey = self.causes, self.causeKey
  local i, row = 1, rows[1]
  while row ~= nil do
    local status = row.LogStatus
    if status == "Failed" then
      self.failed = self.failed + 1
    elseif status == "Simulation" then
      self.simulated = self.simulated + 1
      local path = row.LogIpath
      local cause = causes and causes[causeKey and causeKey(path, row.LogOpath) or path]
      if cause then
        row.LogPrediction = cause
        self.predicted = self.predicted + 1
      end
    end
    i = i + 1
    row = rows[i]
  end
  if self.progressShown then
    io.stderr:write("\r\27[K")
    self.progressShown = false
  end
  LogPrinter.addObjects_(self, rows)
  if self.total > 1 and App.progressWanted() then
    io.stderr:write(string.format("[%d/%d]", self.rowCount, self.total))
    io.stderr:flush()
    self.progressShown = true
  end
end

function ProgressLog.finish(self)
  if self.progressShown then
    io.stderr:write("\r\27[K")
    io.stderr:flush()
    self.progressShown = false
  end
end
