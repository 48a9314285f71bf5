-- quodrix presets list|save|check|remove: the presets store from the command line.

local usage = "usage: quodrix presets list ACTION | save 'NAME|PROCESS|ACTION|...' (62 values) | check NAME | remove NAME\n"

-- The pieces of a line between "|" characters, empty pieces kept.
local function split(line)
  local values, start = {}, 1
  while true do
    local bar = string.find(line, "|", start, true)
    if not bar then
      values[#values + 1] = string.sub(line, start)
      return values
    end
    values[#values + 1] = string.sub(line, start, bar - 1)
    start = bar + 1
  end
end

local actions = {
  list = function(store, action)
    local lines = store:checkForActionType___("Presets", "Action", action)
    local failure = objc.lastFailure()
    if failure then
      App.eprintf("quodrix presets: %s\n", failure)
      return 1
    end
    for _, line in ipairs(lines) do
      App.printf("%s\n", line)
    end
    return 0
  end,
  save = function(store, line)
    local values = split(line)
    if #values ~= 62 then
      App.eprintf("a preset has 62 values separated by \"|\"; this line has %d\n", #values)
      return 2
    end
    store:send("insertSortingPresetToDB01:" .. string.rep(":", 61), table.unpack(values))
    App.printf("saved %s\n", values[1])
    return 0
  end,
  check = function(store, name)
    local found = store:checkPresetNameFromTableNamed___("Presets", "NameOfPreset", name)
    App.printf("%s\n", found or "(null)")
    return found and 0 or 1
  end,
  remove = function(store, name)
    local status = store:removePresetFromDatabase___("Presets", "NameOfPreset", name)
    App.printf("%s\n", status)
    return status == "preset removed" and 0 or 1
  end,
}

App.command("presets", {
  summary = "the presets store: presets list ACTION | save LINE | check NAME | remove NAME",
  run = function(args)
    local action = actions[args[1] or ""]
    if not action or args[2] == nil or args[3] ~= nil then
      App.eprintf(usage)
      return 2
    end
    local store = objc.dbViewController:new()
    local ok, result = pcall(function()
      store:linkToPresetsDB()
      return action(store, args[2])
    end)
    if not ok then
      App.eprintf("quodrix presets: %s\n", tostring(result))
      return 1
    end
    return result
  end,
})
