-- quodrix demo: shows the native classes at work on files made for the occasion.

App.command("demo", {
  summary = "a short run on sample files in a temporary folder",
  run = function(args)
    local folder = os.tmpname()
    os.remove(folder)
    os.execute("mkdir -p '" .. folder .. "/in' '" .. folder .. "/out'")
    local sample = folder .. "/in/sample.txt"
    local f = assert(io.open(sample, "wb"))
    f:write("sample\n")
    f:close()
    App.printf("demo folder: %s\n", folder)
    App.printf("copy  %s\n", objc.cToolBox:hStoreFiles2__(sample, folder .. "/out/copy.txt"))
    App.printf("again %s (nothing is replaced)\n", objc.cToolBox:hStoreFiles2__(sample, folder .. "/out/copy.txt"))
    App.printf("move  %s\n", objc.cToolBox:hStoreFiles3__(sample, folder .. "/out/moved.txt"))
    return 0
  end,
})
