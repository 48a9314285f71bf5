-- quodrix store copy|move|beside|temp SOURCE DEST: the toolbox's storing operations.

local how = {
  copy = { selector = "hStoreFiles2::", done = "copied" },
  move = { selector = "hStoreFiles3::", done = "moved" },
  beside = { selector = "hStoreFiles::", done = "stored" },
  temp = { selector = "hStoreTempFile::", done = "stored" },
}

App.command("store", {
  summary = "copy or move an item without replacing anything (store --help)",
  usage = [[
usage: quodrix store copy SOURCE DESTPATH
       quodrix store move SOURCE DESTPATH
       quodrix store beside SOURCE NEWNAME
       quodrix store temp SOURCE NEWNAME
  copy, move   a copy of SOURCE at DESTPATH, or SOURCE moved there; an existing DESTPATH is never replaced
  beside       a copy of SOURCE in its own folder under NEWNAME (one name, no "/")
  temp         a copy of SOURCE in the temporary folder (~/Temp, made when missing) under NEWNAME
Prints the status word ("successfull" or "Failed", with the cause after a tab) on standard output and
a summary line ("1 copied", "1 failed") on standard error.
]],
  operands = { min = 3, max = 3 },
  main = function(options, operands)
    local mode, source, destination = operands[1], operands[2], operands[3]
    local definition = App.commands.store
    if not how[mode] then
      return App.usageError(definition, "the first argument is copy, move, beside or temp, not " .. mode)
    end
    if (mode == "beside" or mode == "temp") and destination == "" then
      return App.usageError(definition, string.format("%s takes a new name, and NEWNAME is empty", mode))
    end
    if (mode == "beside" or mode == "temp") and (destination:find("/", 1, true)
        or destination == "." or destination == "..") then
      return App.usageError(definition, string.format("%s takes a new name, not a path: %s", mode, destination))
    end
    source = App.absolute(source)
    if mode == "copy" or mode == "move" then destination = App.absolute(destination) end
    -- The toolbox stores into the temporary folder only when it exists; the command makes it first.
    if mode == "temp" then objc.cNSFileHandling:new():hCreateDirectory_(objc.cToolBox:hGetTempDir()) end
    local status = objc.cToolBox:send(how[mode].selector, source, destination)
    if status == "successfull" then
      App.printf("%s\n", status)
      App.summary({ { 1, how[mode].done } })
      return App.OK
    end
    local cause = App.lastCause() or "unknown cause"
    App.printf("%s\t%s\n", status, App.displayed(cause))
    -- Stopped by an interruption, the item was not stored, and nothing failed.
    if App.causedByInterruption(cause) then App.notDone = 1 end
    App.summary({ { 0, how[mode].done }, { 1, "failed" } })
    return App.FAILED
  end,
})
