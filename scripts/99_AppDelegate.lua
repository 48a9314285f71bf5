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
  if name == "help" and App.commands[args[1] or ""] and App.commands[args[1]].main then
    io.stdout:write(App.helpText(App.commands[args[1]]))
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
    App.eprintf("quodrix: unknown command '%s'\n", name)
    usage(io.stderr)
    objc.NSApp:setExitStatus_(2)
    objc.NSApp:terminate_(nil)
    return
  end
  -- Commands that parse their own arguments keep the diagnostic lines off the terminal as well.
  if not command.main then App.startSystemLog() end
  local status = command.run(args) or 0
  App.flushLog()
  objc.NSApp:setExitStatus_(status)
  objc.NSApp:terminate_(nil)
end
