-- The bundled application: a command-line front end over the native classes. This file holds what the
-- other scripts share: the command table, output helpers and the application log file.

App = {
  commands = {},   -- name -> { run = function(args) -> status, usage = "...", summary = "..." }
  order = {},
}

function App.command(name, definition)
  App.commands[name] = definition
  App.order[#App.order + 1] = name
end

function App.printf(fmt, ...)
  io.stdout:write(string.format(fmt, ...))
  io.stdout:flush()
end

function App.eprintf(fmt, ...)
  io.stdout:flush()
  io.stderr:write(string.format(fmt, ...))
  io.stderr:flush()
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

local function clean(field)
  local text = type(field) == "string" and field or tostring(field or "")
  if text:find("\t", 1, true) or text:find("\n", 1, true) or text:find("\r", 1, true) then
    text = text:gsub("[\t\r\n]", " ")
  end
  return text
end

-- The log file is appended to: runs that write at the same time (and the runs before) keep their rows.
-- Rows are kept in a block and each block goes to the file with one write(2) (objc.appendLog, which also
-- writes the header when the file is new or empty), so that every write ends on a row boundary and rows
-- of two processes never interleave. Commands call App.flushLog when they finish; a block is written too
-- whenever it grows past kLogBlockBytes.
local kLogBlockBytes = 65536
local logPath
local logBlock, logBlockBytes = {}, 0
local lastSecond, lastDateText

function App.appendLogLine(entry)
  if logPath == nil then
    objc.cNSFileHandling:new():hCreateDirectory_(App.supportFolder())
    logPath = App.logFilePath()
  end
  if not logPath then return end
  local second = math.floor(entry.LogDate:timeIntervalSince1970())
  if second ~= lastSecond then
    lastSecond, lastDateText = second, os.date("%Y-%m-%d %H:%M:%S", second)
  end
  local row = table.concat({ lastDateText, clean(entry.LogProcess), clean(entry.LogI), clean(entry.LogAction),
    clean(entry.LogO), clean(entry.LogStatus), clean(entry.LogIpath), clean(entry.LogOpath) }, "\t") .. "\n"
  logBlock[#logBlock + 1] = row
  logBlockBytes = logBlockBytes + #row
  if logBlockBytes >= kLogBlockBytes then App.flushLog() end
end

function App.flushLog()
  if not logPath or #logBlock == 0 then return end
  local problem = objc.appendLog(logPath, App.logHeader .. "\n", table.concat(logBlock))
  logBlock, logBlockBytes = {}, 0
  if problem then
    App.eprintf("cannot write the log file: %s\n", problem)
    logPath = false
  end
end

-- Rows still in the block when the application ends without App.flushLog (a command that returned early,
-- a script error) are written when the Lua state closes.
App.logFlusher = setmetatable({}, { __gc = function() App.flushLog() end })

-- A log list that prints each row as it arrives; controllers get it as their log array controller.
LogPrinter = objc.defineClass("LogPrinter")

function LogPrinter.init(self)
  self.rows = {}
  return self
end

function LogPrinter.addObjects_(self, rows)
  for _, row in ipairs(rows) do
    self.rows[#self.rows + 1] = row
    -- Standard output is line-buffered on a terminal, so each row shows as it arrives there; into a
    -- file or a pipe the rows go out in blocks.
    io.stdout:write(string.format("%s\t%s\t%s\t%s -> %s\n", row.LogAction, row.LogStatus, row.LogI, row.LogIpath,
      row.LogOpath))
  end
end

function LogPrinter.reloadData(self) end

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
function ProgressLog.init(self)
  LogPrinter.init(self)
  self.total, self.failed, self.progressShown = 0, 0, false
  return self
end

function ProgressLog.addObjects_(self, rows)
  if self.progressShown then
    io.stderr:write("\r\27[K")
    self.progressShown = false
  end
  LogPrinter.addObjects_(self, rows)
  for _, row in ipairs(rows) do
    if row.LogStatus == "Failed" then self.failed = self.failed + 1 end
  end
  if self.total > 1 and App.progressWanted() then
    io.stderr:write(string.format("[%d/%d]", #self.rows, self.total))
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
