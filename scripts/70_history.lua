-- quodrix history and undo: the runs that the native journal recorded (one per run that changed files,
-- under $XDG_STATE_HOME/quodrix/runs/) and their undo; `undo --log FILE` reverses a run from an application
-- log instead, through the list-renaming controller.

History = {}

-- A word as a shell reads it back: bare when it holds nothing a shell would split or expand, else quoted.
-- A word with a control character or bytes that are not UTF-8 is quoted as $'...', in which \n, \t and
-- \xHH stand for them, so that it is still one line and still the same word when pasted.
local controlEscapes = { ["\n"] = "\\n", ["\t"] = "\\t", ["\r"] = "\\r", ["\\"] = "\\\\", ["'"] = "\\'" }

local function shellQuote(text)
  if text ~= "" and not text:find("[^%w%-_./=:,@+%%]") then return text end
  if utf8.len(text) and not text:find("[%c\127]") and not text:find("\194[\128-\159]") then
    return "'" .. text:gsub("'", "'\\''") .. "'"
  end
  local quoted = {}
  local i = 1
  while i <= #text do
    local c = text:sub(i, i)
    local code = utf8.len(text, i, i) and utf8.codepoint(text, i)
    local length = code and #utf8.char(code) or 1
    if controlEscapes[c] then
      quoted[#quoted + 1] = controlEscapes[c]
    elseif not code or code < 0x20 or (code >= 0x7F and code < 0xA0) then
      for k = i, i + length - 1 do quoted[#quoted + 1] = string.format("\\x%02X", text:byte(k)) end
    else
      quoted[#quoted + 1] = text:sub(i, i + length - 1)
    end
    i = i + length
  end
  return "$'" .. table.concat(quoted) .. "'"
end

-- The command line of a run as the journal records it: words that a shell would split are quoted.
function App.commandLine(name, args)
  local words = { "quodrix", shellQuote(name) }
  for _, a in ipairs(args) do words[#words + 1] = shellQuote(a) end
  return table.concat(words, " ")
end

-- Paths and causes shown as rows show them (App.displayed), so that a name cannot move the terminal's cursor.
local visible = App.displayed

local historyUsage = [[
usage: quodrix history
       quodrix history --forget RUN
  the runs that changed files, newest first: id, date, counts of changes done and failed, whether the run
  was undone, is still running, did not finish ("unfinished": its process ended before the run did), was
  interrupted (Ctrl-C: it made no change after that, "interrupted"), or as an undo could not put
  everything back ("incomplete"), and its command line
  the counts are of the changes recorded in the run's journal: an undo counts the items it moved back or
  removed, not the items it found it could not touch (those it printed as failed without trying a change);
  a file that a swap or cycle of renames took through a temporary name counts once; a run that did not
  finish may have made the changes it recorded without their outcome: they count as "maybe done"
  a journal that cannot be read, or is no journal, is left out and named on standard error ("left out:
  CAUSE"), and the exit status is 1
  --forget RUN takes RUN and every older run out of the history for good: their journals and the items
  they kept (the items their changes replaced or removed) are removed, and they can no longer be undone;
  each run forgotten prints "forgotten" and its id; refused while one of them is still running or being
  undone
]]

local undoUsage = [[
usage: quodrix undo [RUN]
       quodrix undo --log FILE
  RUN   the id of a run (quodrix history); without it, the newest run not yet undone that is no undo
        itself and changed something (refused when a journal that cannot be read is named as a later run,
        which it may hold)
  FILE  an application log (or rename list): the renaming it records is reversed through the list-renaming
        controller, once for each folder the files were renamed in; a file that several runs renamed goes
        from its last name in the log to its first
]]

-- Forgets a run and every older one; the exit status of the command.
local function forget(id)
  local answer = objc.QDRunHistory:forgetRuns_(id)
  if answer.problem then
    App.eprintf("quodrix history: %s\n", App.displayed(answer.problem))
    return 1
  end
  -- Newest first, as the history lists them.
  for i = #answer.forgotten, 1, -1 do App.printf("forgotten\t%s\n", visible(answer.forgotten[i])) end
  for _, cause in ipairs(answer.failures) do
    App.eprintf("quodrix history: cannot forget: %s\n", visible(cause))
  end
  local count = #answer.forgotten
  App.eprintf("%d run%s forgotten\n", count, count == 1 and "" or "s")
  return #answer.failures > 0 and 1 or 0
end

App.command("history", {
  summary = "the runs that changed files, newest first (history --help)",
  usage = historyUsage,
  options = {
    { long = "forget", key = "forget", value = "RUN",
      help = "forget RUN and every older run (they can no longer be undone)" },
  },
  operands = { min = 0, max = 0 },
  main = function(options)
    if options.forget then return forget(options.forget) end
    local answer = objc.QDRunHistory:runs()
    local runs = answer.runs
    -- A journal that cannot be read is left out of the list, and said so.
    for _, cause in ipairs(answer.unreadable) do
      App.eprintf("quodrix history: left out: %s\n", visible(cause))
    end
    for _, run in ipairs(runs) do
      local flags = ""
      -- A change recorded ahead whose outcome the journal lacks (its process ended first) may have been made.
      if run.unknown > 0 then flags = flags .. string.format(", %d maybe done", run.unknown) end
      if run.undone then flags = flags .. ", undone" end
      if run.running then
        flags = flags .. ", running"
      elseif not run.finished then
        flags = flags .. ", unfinished"
      end
      if run.incomplete then flags = flags .. ", incomplete" end
      if run.interrupted then flags = flags .. ", interrupted" end
      App.printf("%s  %s  %d done, %d failed%s  %s\n", run.id, os.date("%Y-%m-%d %H:%M:%S", math.floor(run.started)),
        run.done, run.failed, flags, visible(run.command))
    end
    if #answer.unreadable > 0 then return 1 end
    if #runs == 0 then App.eprintf("quodrix history: no run recorded in %s/runs\n", objc.paths.state) end
    return 0
  end,
})

-- The renames of an application log that were really made, as log files of their own: one for each pair of
-- folders they went from and to. The list controller renames the files of one folder into one folder, and a
-- log holds the runs of many folders (a run over a tree renames in each of its folders). Lines of other
-- processes (a comment written) rename nothing.
--
-- A log holds every run since it was begun, so one file may have been renamed by several runs (a to b,
-- then b to c). Its renames are taken back at once, from its last name to its first (c to a): the
-- reversal of each line in the order of the log would look for b, which is gone. The log does not say
-- where a run ends, so the lines are read as runs, from the last back, by what one run cannot do: rename
-- one name twice, or give one name twice. A line that gives a name a later line of the run renames may be
-- a chain of that run (a to b while b to c) or an earlier run: in a chain the name is still taken after
-- the run, by the file renamed into it. What stands after each run is known going back from what stands
-- on disk now, each run taken back in turn. The lines of one run take effect together, so a swap of two
-- names is no rename of a file twice. A file that came back to its first name has nothing to take back.
-- The folders go newest first, as the runs are taken back.
local function folderOf(path)
  return path:match("^(.*)/[^/]*$") or "."
end

local function fieldsOf(line)
  local f = {}
  for field in (line .. "\t"):gmatch("([^\t]*)\t") do f[#f + 1] = field end
  return f
end

-- The renaming lines of a log (their fields), split into runs: a list of runs, each a list of lines.
local function runsOfLines(lines)
  local runs = {}
  -- Whether a path is taken after the run being read: the disk for the last run, then each run taken back.
  local taken = {}
  local function isTaken(path)
    if taken[path] == nil then taken[path] = objc.itemKind(path) ~= nil end
    return taken[path]
  end
  -- Each run's lines are gathered last first, and put back in their order when the run is complete.
  local run, sources, targets = {}, {}, {}
  local function takeBack()
    for _, f in ipairs(run) do taken[f[8]] = false end
    for _, f in ipairs(run) do taken[f[7]] = true end
    local ordered = {}
    for i = #run, 1, -1 do ordered[#ordered + 1] = run[i] end
    runs[#runs + 1] = ordered
    run, sources, targets = {}, {}, {}
  end
  for i = #lines, 1, -1 do
    local f = lines[i]
    local from, to = f[7], f[8]
    if sources[from] or targets[to] or (sources[to] and not isTaken(to)) then takeBack() end
    run[#run + 1] = f
    sources[from], targets[to] = true, true
  end
  if #run > 0 then takeBack() end
  -- The runs were found last first.
  local inOrder = {}
  for i = #runs, 1, -1 do inOrder[#inOrder + 1] = runs[i] end
  return inOrder
end

local function successfulRuns(logPath)
  local file, problem = io.open(logPath, "rb")
  local text = file and file:read("a")
  if file then
    -- A folder opens, but gives nothing to read.
    problem = text == nil and logPath .. ": not a file" or nil
    file:close()
  end
  if problem then return nil, "cannot read " .. problem end
  local lines = {}
  local inLog = false
  for line in text:gmatch("[^\r\n]+") do
    if line == App.logHeader then
      inLog = true
    elseif inLog then
      local f = fieldsOf(line)
      local status = f[6]
      if #f >= 8 and f[2] == "File renaming" and (status == "successfull" or status == "OK") then
        lines[#lines + 1] = f
      end
    end
  end
  if #lines == 0 then return nil, "the log names no file that was renamed" end
  -- Each file renamed: the fields of its first line and of its last, and the number of its last line; `at`
  -- holds the file that stands at a path after the runs so far.
  local files, at, order = {}, {}, 0
  for _, run in ipairs(runsOfLines(lines)) do
    local moved = {}
    for i, f in ipairs(run) do moved[i] = at[f[7]] end
    for _, f in ipairs(run) do at[f[7]] = nil end
    for i, f in ipairs(run) do
      local renamed = moved[i]
      if not renamed then
        renamed = { first = f }
        files[#files + 1] = renamed
      end
      order = order + 1
      renamed.last, renamed.order = f, order
      at[f[8]] = renamed
    end
  end
  local runs, byFolders = {}, {}
  for _, renamed in ipairs(files) do
    local first, last = renamed.first, renamed.last
    if first[7] ~= last[8] then
      local from, to = folderOf(first[7]), folderOf(last[8])
      local key = from .. "\0" .. to
      local run = byFolders[key]
      if not run then
        run = { lines = {}, inputFolder = from, outputFolder = to, newest = 0 }  -- lines: their fields
        byFolders[key] = run
        runs[#runs + 1] = run
      end
      -- The last line with the first name: the list controller reads the present name and the name to go
      -- back to from it.
      local f = { table.unpack(last) }
      f[3], f[7] = first[3], first[7]
      run.lines[#run.lines + 1] = f
      run.newest = math.max(run.newest, renamed.order)
    end
  end
  if #runs == 0 then return nil, "every file the log names is back at its first name" end
  table.sort(runs, function(a, b) return a.newest > b.newest end)
  return runs
end

-- The reversal of the renames of one pair of folders through the list controller, the log's lines read back
-- as a rename list from `temp`; nil, or the exit status of a failure (told on standard error).
local function undoFolders(run, temp)
  -- From another folder the list controller puts copies back, and a copy replaces what stands under its
  -- name: there the original (the run made a copy of it) or a file made since. Either is left as it is.
  local lines, kept = {}, 0
  for _, f in ipairs(run.lines) do
    if run.inputFolder ~= run.outputFolder and objc.itemKind(f[7]) ~= nil then
      App.eprintf("quodrix undo: kept %s: %s is there already\n", App.displayed(f[8]), App.displayed(f[7]))
      kept = kept + 1
    else
      lines[#lines + 1] = f
    end
  end
  if #lines == 0 then return 1 end
  local out = io.open(temp, "wb")
  if not out then
    App.eprintf("quodrix undo: cannot write %s\n", temp)
    return 1
  end
  out:write(App.logHeader, "\n")
  for _, f in ipairs(lines) do out:write(table.concat(f, "\t"), "\n") end
  out:close()
  local source
  for _, f in ipairs(lines) do
    local probe = io.open(f[8], "rb")
    if probe then
      probe:close()
      source = f[8]
      break
    end
  end
  if not source then
    App.eprintf("quodrix undo: none of the files renamed into %s is where the log left it\n",
      App.displayed(run.outputFolder))
    return 1
  end
  local inPlace = run.inputFolder == run.outputFolder
  local options = { list = temp, separatorIndex = 2, source = source, destination = run.inputFolder .. "/",
    overwrite = inPlace, keepGoing = true }
  -- In place the pairs go through the plan, which orders chains (1 back to 2 while 2 goes back to 3) and
  -- cycles; the controller alone takes them in the order of the list, where each would find its name taken.
  -- What cannot go back is told by its row, and the rest is done.
  local summary = inPlace and ListPlanning.run(options, run.outputFolder) or ListRename.run(options)
  if summary.alert then
    App.eprintf("quodrix undo: %s\n", App.displayed(summary.alert))
    return 2
  end
  if summary.loaded == 0 then
    App.eprintf("quodrix undo: the list holds no usable line\n")
    return 1
  end
  if summary.failed > 0 then
    App.eprintf("quodrix undo: %d of %d files failed\n", summary.failed, summary.rows)
    return 1
  end
  if kept > 0 then return 1 end
  return nil
end

-- The reversal of a log's renames, folder by folder.
local function undoFromLog(logPath)
  local runs, problem = successfulRuns(logPath)
  if not runs then
    App.eprintf("quodrix undo: %s\n", App.displayed(problem))
    return 1
  end
  -- The rename lists are written into a folder of their own in the temporary folder, removed at the end.
  local made, folder = pcall(objc.makeTemporaryFolder, "quodrix-undo-")
  if not made then
    App.eprintf("quodrix undo: %s\n", App.displayed(folder))
    return 1
  end
  local status = 0
  for _, run in ipairs(runs) do
    local failed = undoFolders(run, folder .. "/reversal.txt")
    if failed then status = math.max(status, failed) end
    if failed == 2 then break end
  end
  objc.removeTemporaryFolder(folder)
  return status
end

-- Undoes one recorded run and reports each item; the exit status of the command.
function History.undo(id)
  local result = objc.QDRunHistory:undoRun_(id)
  for _, cause in ipairs(result.unreadable) do
    App.eprintf("quodrix undo: cannot read a journal: %s\n", visible(cause))
  end
  if result.problem then
    App.eprintf("quodrix undo: %s\n", App.displayed(result.problem))
    return 1
  end
  -- The lines come as three texts each: the word, the path, the detail. The rows go out in blocks (one
  -- write a row cost as much as the rest of a row's undo); a message on standard error flushes them first.
  local out, lines = io.stdout, result.lines
  -- Interrupted, the undo leaves the rest for the next one: those items are counted, not named one by one.
  local notDone = 0
  for i = 1, #lines, 3 do
    local word, path, detail = lines[i], lines[i + 1], lines[i + 2]
    if word == "restored" or word == "removed" then
      out:write(word, "\t", visible(path), "\n")
    elseif word == "kept" then
      App.eprintf("quodrix undo: kept %s: %s\n", visible(path), visible(detail))
    elseif App.causedByInterruption(detail) then
      notDone = notDone + 1
    else
      App.eprintf("quodrix undo: cannot restore %s: %s\n", visible(path), visible(detail))
    end
  end
  local parts = { string.format("%d restored", result.restored) }
  if result.removed > 0 then parts[#parts + 1] = string.format("%d removed", result.removed) end
  if result.kept > 0 then parts[#parts + 1] = string.format("%d kept", result.kept) end
  if result.failed > notDone then parts[#parts + 1] = string.format("%d failed", result.failed - notDone) end
  if notDone > 0 then parts[#parts + 1] = string.format("%d not done (interrupted)", notDone) end
  App.eprintf("undo %s: %s\n", result.run, table.concat(parts, ", "))
  return (result.kept > 0 or result.failed > 0) and 1 or 0
end

App.command("undo", {
  summary = "take back the newest run not yet undone, or RUN (undo --help)",
  usage = undoUsage,
  options = {
    { long = "log", key = "log", value = "FILE", help = "reverse the renaming that an application log records" },
  },
  operands = { min = 0, max = 1 },
  main = function(options, operands)
    if options.log and operands[1] then
      return App.usageError(App.commands.undo, "a run id and --log together: give one of them")
    end
    if options.log then return undoFromLog(App.absolute(options.log)) end
    return History.undo(operands[1])
  end,
})
