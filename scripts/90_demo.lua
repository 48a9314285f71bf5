-- quodrix demo: insert renaming of the sample images shipped in the bundle, on copies in a temporary
-- folder: a simulated run, a real one that moves the renamed images into another folder, and the reversal
-- of that run from its log.

-- The bundle's resources folder, which holds the sample images.
local resources = objc.paths.resources

local function samples()
  local urls = objc.cToolBox:hGetFilesInDir_(resources .. "/Samples") or {}
  local paths = {}
  for _, url in ipairs(urls) do paths[#paths + 1] = url:path() end
  table.sort(paths)
  return paths
end

local function listFolder(title, folder)
  App.printf("%s\n", title)
  local names = {}
  for _, url in ipairs(objc.cToolBox:hGetFilesInDir_(folder) or {}) do names[#names + 1] = url:path():match("[^/]*$") end
  table.sort(names)
  for _, name in ipairs(names) do App.printf("  %s\n", name) end
end

local function makeFolder(path)
  local status = objc.cNSFileHandling:new():hCreateDirectory_(path)
  return status == "OK" or status == "EXISTS"
end

App.command("demo", {
  summary = "insert renaming of the bundled sample images (simulated, then real), then its reversal",
  usage = [[
usage: quodrix demo [--keep]
  Copies the bundled sample images into a new folder of ~/Temp, renames the copies by insert (simulated,
  then for real, into a second folder) and reverses that run from its log; the folder is removed at the end.
]],
  options = {
    { long = "keep", key = "keep", help = "keep the demo's folder (its path is printed)" },
  },
  main = function(options)
    local samplesFound = samples()
    if #samplesFound == 0 then
      App.eprintf("quodrix demo: no sample images in %s/Samples\n", resources)
      return 1
    end
    local ok, root = pcall(objc.makeTemporaryFolder, "quodrix-demo-")
    if not ok then
      App.eprintf("quodrix demo: %s\n", tostring(root))
      return App.FAILED
    end
    local work, destination = root .. "/work/", root .. "/renamed/"
    if not (makeFolder(work) and makeFolder(destination)) then
      App.eprintf("quodrix demo: cannot make the folders under %s\n", root)
      local _ = objc.removeTemporaryFolder(root)
      return App.FAILED
    end
    -- The demo works on copies, so the bundle's samples stay as they are.
    local files = {}
    for _, path in ipairs(samplesFound) do
      local copy = work .. path:match("[^/]*$")
      if objc.cToolBox:hStoreFiles2__(path, copy) ~= "successfull" then
        App.eprintf("quodrix demo: cannot copy %s into %s: %s\n", path, work, App.lastCause() or "unknown cause")
        local _ = objc.removeTemporaryFolder(root)
        return App.FAILED
      end
      files[#files + 1] = copy
    end
    listFolder(string.format("Sample images, copied into %s:", work), work)

    App.printf("\n1. Simulation: insert \"2026-\" at position 0\n")
    local simulated = Insert.run({ text = "2026-", positions = "0", simulate = true, files = files })
    App.printf("   %d files, nothing written\n", simulated.rows)

    App.printf("\n2. Real run: insert \"_\" at positions 1;3 (the second counts one further), moving the files into %s\n",
      destination)
    -- The real run is a run of its own in the history, so that undo takes back that run and not the
    -- copying of the samples.
    local journalProblem = objc.journal.finish()
    objc.journal.begin("quodrix demo: insert _ 1;3")
    -- The reversal takes back this run by its id: the newest run not yet undone may be another process's,
    -- a rename of the user's own made in another terminal meanwhile.
    local realRun = objc.journal.id()
    local real = Insert.run({ text = "_", positions = "1;3", destination = destination, overwrite = true,
      files = files })
    journalProblem = objc.journal.finish() or journalProblem
    objc.journal.begin("quodrix demo: undo")
    listFolder("\nThe destination now holds:", destination)

    App.printf("\n3. Reversal: the run taken back from its journal (quodrix undo)\n")
    App.flushLog()
    local undone = History.undo(realRun)
    listFolder(string.format("\n%s holds the original names again:", work), work)
    App.printf("\nThe action log is in %s\n", App.logFilePath())
    if options.keep then
      App.printf("The demo's files are in %s\n", root)
    elseif not objc.removeTemporaryFolder(root) then
      App.eprintf("quodrix demo: could not remove %s\n", root)
    end
    if journalProblem then App.eprintf("quodrix demo: %s\n", journalProblem) end
    if simulated.failed + real.failed > 0 or undone ~= 0 or journalProblem then return App.FAILED end
    return App.OK
  end,
})
