-- The application delegate: reads the command line and runs one command.

AppDelegate = objc.defineClass("AppDelegate")

local function usage(out)
  out:write("usage: quodrix <command> [arguments]\n\ncommands:\n")
  for _, name in ipairs(App.order) do
    out:write(string.format("  %-10s %s\n", name, App.commands[name].summary or ""))
  end
  out:write("  help       this text; help COMMAND: the usage of a command (also COMMAND --help)\n")
  out:write("  version    the version of quodrix (also --version)\n\n")
  out:write(App.exitStatusText)
end

function AppDelegate.applicationDidFinishLaunching_(cls, notification)
  local args = {}
  for i = 2, #objc.arguments do args[#args + 1] = objc.arguments[i] end
  local name = table.remove(args, 1)
  local helped = name == "help" and App.commands[args[1] or ""]
  if helped then
    -- A command that reads its own command line gives its usage for --help.
    local status = 0
    if helped.main then io.stdout:write(App.helpText(helped)) else status = helped.run({ "--help" }) or 0 end
    objc.NSApp:setExitStatus_(status)
    objc.NSApp:terminate_(nil)
    return
  end
  if name == nil then
    -- No command is a usage error like any missing argument.
    App.eprintf("quodrix: no command given\n")
    usage(io.stderr)
    objc.NSApp:setExitStatus_(2)
    objc.NSApp:terminate_(nil)
    return
  end
  if (name == "help" and args[1] ~= nil) or ((name == "--version" or name == "version") and #args > 0) then
    -- help names a command that does not exist, or version is given something it does not take.
    App.eprintf("quodrix: %s\n", App.displayed(name == "help" and "unknown command '" .. args[1] .. "'"
      or name .. " takes no argument"))
    usage(io.stderr)
    objc.NSApp:setExitStatus_(2)
    objc.NSApp:terminate_(nil)
    return
  end
  if name == "help" or name == "--help" or name == "-h" then
    usage(io.stdout)
    objc.NSApp:terminate_(nil)
    return
  end
  if name == "--version" or name == "version" then
    io.stdout:write("quodrix ", objc.version, "\n")
    objc.NSApp:terminate_(nil)
    return
  end
  local command = App.commands[name]
  if not command then
    App.eprintf("quodrix: unknown command '%s'\n", App.displayed(name))
    usage(io.stderr)
    objc.NSApp:setExitStatus_(2)
    objc.NSApp:terminate_(nil)
    return
  end
  -- Commands that parse their own arguments keep the diagnostic lines off the terminal as well.
  if not command.main then App.startSystemLog() end
  objc.journal.begin(App.commandLine(name, args))
  local status = command.run(args) or 0
  -- The log's last rows go out while the journal is open, so that an interruption cannot cut them off.
  App.flushLog()
  local journalProblem = objc.journal.finish()
  if journalProblem then
    -- A command that was refused for the journal's failure (an undo that could not begin its own) has
    -- told it already.
    local line = string.format("quodrix %s: %s\n", name, journalProblem)
    if line ~= App.lastError then App.eprintf("%s", line) end
    if status == 0 then status = 1 end
  end
  -- An interrupted run made no change after the signal; undo takes back the ones it made.
  local interrupted = objc.journal.interrupted()
  if interrupted then
    App.eprintf("quodrix %s: %s; the files not done are as they were\n", name, interrupted)
    if status == 0 then status = 1 end
  end
  if App.logFailed and status == 0 then status = 1 end
  objc.NSApp:setExitStatus_(status)
  objc.NSApp:terminate_(nil)
end
