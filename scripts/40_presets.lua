-- quodrix presets list|save|show|check|remove: the presets store from the command line, by name and field.

-- The fields of a preset as this application gives them meaning, with their columns (value positions 1 to
-- 62 of a preset row) and defaults. Columns 22 to 42 (StrField21 to StrField41) hold integers.
local fields = {
  { key = "process", column = 2, default = "File renaming", help = "the process the preset belongs to" },
  { key = "action", column = 3, default = "Insert", help = "the action: Insert or Rename (what `presets list` finds)" },
  { key = "text", column = 4, default = "", help = "the text to insert (insert)" },
  { key = "positions", column = 5, default = "0", help = "the positions, separated by \";\" (insert)" },
  { key = "dest", column = 6, default = "", help = "the destination folder" },
  { key = "separator", column = 7, default = ";", help = "the separator of a rename list: ;, , or tab (list)",
    check = App.oneOf(";", ",", "tab") },
  { key = "simulate", column = 22, default = "0", help = "1 to only simulate, 0 for a real run",
    check = App.oneOf("0", "1") },
  { key = "move", column = 23, default = "0", help = "1 to move the files, 0 to copy them", check = App.oneOf("0", "1") },
}
local byKey = {}
for _, field in ipairs(fields) do byKey[field.key] = field end

local function isIntegerColumn(column) return column >= 22 and column <= 42 end

-- fieldN (3 to 61) names the column StrFieldN directly.
local function columnOf(key)
  if byKey[key] then return byKey[key].column end
  local n = math.tointeger(tonumber(key:match("^field(%d+)$") or ""))
  if n and n >= 3 and n <= 61 then return n + 1 end
  return nil
end

local function defaultOf(column)
  for _, field in ipairs(fields) do
    if field.column == column then return field.default end
  end
  return isIntegerColumn(column) and "0" or ""
end

local function keyOf(column)
  for _, field in ipairs(fields) do
    if field.column == column then return field.key end
  end
  return "field" .. (column - 1)
end

local fieldHelp = {}
for _, field in ipairs(fields) do
  fieldHelp[#fieldHelp + 1] = string.format("  %-11s %s (default \"%s\")\n", field.key, field.help, field.default)
end

local usage = [[
usage: quodrix presets list ACTION
       quodrix presets save [--replace] NAME [KEY=VALUE...]
       quodrix presets show NAME
       quodrix presets check NAME
       quodrix presets remove NAME
  list    the presets of an action, one line each, the 62 values separated by "|"
  save    saves a preset; a name that exists is refused unless --replace
  show    the fields of a preset, one KEY=VALUE line each
  check   prints the name when a preset of that name exists
  remove  removes the preset of that name (prints "preset removed")
A name that does not exist answers "no preset named NAME" on standard error and exit status 1.
fields of `presets save` (a field left out gets its default):
]] .. table.concat(fieldHelp) .. [[
  fieldN      the value of the store's column StrFieldN, N from 3 to 61 (default "", or "0" for 21 to 41)
Values hold no "|" (it separates the values in `presets list`) and no line break.
]]

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

local function noPreset(name)
  App.eprintf("quodrix presets: no preset named %s\n", App.displayed(name))
  return App.FAILED
end

-- The rows stored under `name`, each as its 62 values.
local function rowsNamed(store, name)
  local rows = {}
  for _, line in ipairs(store:checkForActionType___("Presets", "NameOfPreset", name) or {}) do
    rows[#rows + 1] = split(line)
  end
  local failure = objc.lastFailure()
  if failure then error("read the presets named " .. name, 0) end
  return rows
end

local function exists(store, name)
  return store:checkPresetNameFromTableNamed___("Presets", "NameOfPreset", name) ~= nil
end

local actions = {}

actions.list = { operands = 1, run = function(store, operands)
  local lines = store:checkForActionType___("Presets", "Action", operands[1])
  local failure = objc.lastFailure()
  if failure then
    App.eprintf("quodrix presets: %s\n", App.displayed(failure))
    return App.FAILED
  end
  -- A preset saved by the application itself may hold a line break or other control characters: shown as
  -- names are (App.displayed), each preset stays on its line.
  for _, line in ipairs(lines) do
    App.printf("%s\n", App.displayed(line))
  end
  return App.OK
end }

-- Returns the 62 values, or nil and why the fields are refused.
local function presetValues(name, assignments)
  local values = { name }
  for column = 2, 62 do values[column] = defaultOf(column) end
  for _, assignment in ipairs(assignments) do
    local key, value = assignment:match("^([^=]+)=(.*)$")
    if not key then return nil, "a field is KEY=VALUE: " .. assignment end
    local column = columnOf(key)
    if not column then return nil, "unknown field " .. key end
    local field = byKey[key]
    if field and field.check then
      local checked, why = field.check(value)
      if not checked then return nil, string.format("%s=%s: %s", key, value, why) end
      value = checked
    elseif isIntegerColumn(column) and not value:match("^%-?%d+$") then
      return nil, string.format("%s=%s: not a whole number", key, value)
    end
    values[column] = value
  end
  -- A line break would split a preset's line of `presets list` (and a KEY=VALUE line of `show`) in two,
  -- the second read as a preset or a field of its own.
  for column, value in ipairs(values) do
    local what = column == 1 and "the name" or keyOf(column)
    if value:find("|", 1, true) then
      return nil, string.format("%s holds \"|\"", what)
    elseif value:find("[\n\r]") then
      return nil, string.format("%s holds a line break", what)
    elseif not utf8.len(value) then
      -- The store keeps text, which the application reads as UTF-8.
      return nil, string.format("%s is not UTF-8 text", what)
    end
  end
  return values
end

actions.save = { operands = "many", run = function(store, operands, options)
  local name = operands[1]
  if name == "" then return App.usageError(App.commands.presets, "a preset needs a name") end
  local values, problem = presetValues(name, { table.unpack(operands, 2) })
  if not values then return App.usageError(App.commands.presets, problem) end
  if not options.replace and exists(store, name) then
    App.eprintf("quodrix presets: a preset named %s exists; nothing changed (--replace replaces it)\n",
      App.displayed(name))
    return App.FAILED
  end
  -- A replacement is one change of the store: should it fail, the preset it was to replace stays, and two
  -- at once leave one preset.
  local ok, problem = pcall(function()
    if options.replace then
      store:replacePreset_(values)
    else
      store:send("insertSortingPresetToDB01:" .. string.rep(":", 61), table.unpack(values))
    end
  end)
  if not ok then
    App.eprintf("quodrix presets: %s was not saved: %s\n", App.displayed(name),
      App.displayed(objc.lastFailure() or tostring(problem)))
    return App.FAILED
  end
  App.printf("saved %s\n", App.displayed(name))
  return App.OK
end }

actions.show = { operands = 1, run = function(store, operands)
  local rows = rowsNamed(store, operands[1])
  if #rows == 0 then return noPreset(operands[1]) end
  for i, values in ipairs(rows) do
    if i > 1 then App.printf("\n") end
    -- Values shown as `list` shows them, each on its line.
    local shown = App.displayed
    App.printf("name=%s\n", shown(values[1]))
    for _, field in ipairs(fields) do App.printf("%s=%s\n", field.key, shown(values[field.column] or "")) end
    for column = 4, #values do
      local key = keyOf(column)
      if not byKey[key] and values[column] ~= defaultOf(column) then
        App.printf("%s=%s\n", key, shown(values[column]))
      end
    end
  end
  return App.OK
end }

actions.check = { operands = 1, run = function(store, operands)
  local found = store:checkPresetNameFromTableNamed___("Presets", "NameOfPreset", operands[1])
  if not found then return noPreset(operands[1]) end
  App.printf("%s\n", found)
  return App.OK
end }

actions.remove = { operands = 1, run = function(store, operands)
  -- The store answers "preset removed" for a name it does not hold as well: look first.
  if not exists(store, operands[1]) then return noPreset(operands[1]) end
  local status = store:removePresetFromDatabase___("Presets", "NameOfPreset", operands[1])
  if status ~= "preset removed" then
    -- The store says "preset not found" of a removal that failed: the cause is its record of why.
    App.eprintf("quodrix presets: %s was not removed: %s\n", App.displayed(operands[1]),
      App.displayed(objc.lastFailure() or status))
    return App.FAILED
  end
  App.printf("%s\n", status)
  return App.OK
end }

App.command("presets", {
  summary = "the presets store: list, save, show, check, remove (presets --help)",
  usage = usage,
  options = {
    { long = "replace", key = "replace", help = "save: replace a preset of the same name" },
  },
  -- The action first, so that an unknown one is named as such even without its name argument.
  operands = { min = 1 },
  main = function(options, operands)
    local definition = App.commands.presets
    local what = table.remove(operands, 1)
    local action = actions[what]
    if not action then return App.usageError(definition, "unknown action " .. what) end
    if #operands == 0 then return App.usageError(definition, "missing arguments") end
    if action.operands == 1 and #operands > 1 then
      return App.usageError(definition, "too many arguments: " .. operands[2])
    end
    if options.replace and what ~= "save" then return App.usageError(definition, "--replace is for save") end
    local store = objc.dbViewController:new()
    local ok, result = pcall(function()
      store:linkToPresetsDB()
      return action.run(store, operands, options)
    end)
    if not ok then
      -- The store's error, and the cause it recorded (SQLite's message) when there is one.
      local cause = objc.lastFailure()
      App.eprintf("quodrix presets: %s%s\n", tostring(result), cause and (" (" .. App.displayed(cause) .. ")") or "")
      return App.FAILED
    end
    return result
  end,
})
