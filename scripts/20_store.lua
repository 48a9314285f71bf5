-- quodrix store copy|move|beside|temp SOURCE DEST: the toolbox's storing operations.

App.command("store", {
  summary = "copy or move an item without replacing anything: store copy|move|beside|temp SOURCE DEST",
  run = function(args)
    local how, source, destination = args[1], args[2], args[3]
    local selectors = { copy = "hStoreFiles2::", move = "hStoreFiles3::", beside = "hStoreFiles::",
      temp = "hStoreTempFile::" }
    if not selectors[how] or not source or not destination then
      App.eprintf("usage: quodrix store copy|move|beside|temp SOURCE DEST\n")
      return 2
    end
    local status = objc.cToolBox:send(selectors[how], source, destination)
    App.printf("%s\n", status)
    return status == "successfull" and 0 or 1
  end,
})
