-- quodrix demo: insert renaming of the sample images shipped in the bundle: a simulated run, then a real
-- one that copies the renamed images into a temporary folder.

-- The bundle's resources folder: the folder above Scripts/, where this file was loaded from.
local scriptFile = debug.getinfo(1, "S").source:gsub("^@", "")
local resources = scriptFile:match("^(.*)/Scripts/[^/]*$") or "."

local function samples()
  local urls = objc.cToolBox:hGetFilesInDir_(resources .. "/Samples") or {}
  local paths = {}
  for _, url in ipairs(urls) do paths[#paths + 1] = url:path() end
  table.sort(paths)
  return paths
end

local function shellQuote(text)
  return "'" .. text:gsub("'", "'\\''") .. "'"
end

App.command("demo", {
  summary = "insert renaming of the bundled sample images: simulated, then for real into a temporary folder",
  run = function(args)
    local files = samples()
    if #files == 0 then
      App.eprintf("quodrix demo: no sample images in %s/Samples\n", resources)
      return 1
    end
    local destination = os.tmpname()
    os.remove(destination)
    if not os.execute("mkdir -p " .. shellQuote(destination)) then
      App.eprintf("quodrix demo: cannot make the folder %s\n", destination)
      return 1
    end
    destination = destination .. "/"

    App.printf("Sample images (%s/Samples):\n", resources)
    for _, path in ipairs(files) do App.printf("  %s\n", path:match("[^/]*$")) end

    App.printf("\n1. Simulation: insert \"2026-\" at position 0\n")
    local simulated = Insert.run({ text = "2026-", positions = "0", simulate = true, files = files })
    App.printf("   %d files, nothing written\n", simulated.rows)

    App.printf("\n2. Real run: insert \"_\" at positions 1;3 (the second counts one further), copies into %s\n",
      destination)
    local real = Insert.run({ text = "_", positions = "1;3", destination = destination, files = files })
    App.printf("\nThe destination now holds:\n")
    for _, url in ipairs(objc.cToolBox:hGetFilesInDir_(destination) or {}) do
      App.printf("  %s\n", url:path():match("[^/]*$"))
    end
    App.printf("\nThe samples are unchanged; the action log is in %s\n", App.logFilePath())
    if simulated.failed + real.failed > 0 then return 1 end
    return 0
  end,
})
