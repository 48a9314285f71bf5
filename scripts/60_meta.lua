-- quodrix meta FILE: an image's property tree.
-- quodrix comment FILE [TEXT]: reads the Exif user comment, or writes TEXT as the new one (logged).
-- quodrix print FILE [options]: prints an image scaled to fit the page, centred, without margins.

local function render(value)
  if type(value) == "table" then
    local parts = {}
    for i, item in ipairs(value) do parts[i] = render(item) end
    return "[" .. table.concat(parts, ", ") .. "]"
  end
  if value == objc.null or value == nil then return "" end
  return tostring(value)
end

local function printTree(tree, indent)
  for _, node in ipairs(tree) do
    if node.children then
      App.printf("%s%s\n", indent, node.key)
      printTree(node.children, indent .. "  ")
    else
      App.printf("%s%s: %s\n", indent, node.key, render(node.val))
    end
  end
end

-- The metadata editor as its window would connect it.
local function editor()
  local meta = objc.mMeta:new()
  local fields = {
    tfExifUserComment = objc.NSTextField:new(),
    tfActiveFilePath = objc.NSTextField:new(),
    mTree = objc.NSTreeController:new(),
    mymMetaLogTableViewController = objc.LogPrinter:new(),
    themMetaLogTable = objc.NSTableView:new(),
  }
  for name, control in pairs(fields) do meta:setValue_forKey_(control, name) end
  return meta, fields
end

App.command("meta", {
  summary = "an image's metadata as a tree: meta FILE",
  run = function(args)
    local path = args[1]
    if not path then
      App.eprintf("usage: quodrix meta FILE\n")
      return 2
    end
    local meta, fields = editor()
    local tree = meta:hiDoNothing_(path)
    if tree == nil then
      App.eprintf("%s: %s\n", path, fields.tfExifUserComment:stringValue())
      return 1
    end
    if #tree == 0 then
      App.eprintf("%s: no image properties\n", path)
      return 1
    end
    printTree(tree, "")
    return 0
  end,
})

App.command("comment", {
  summary = "read or write the Exif user comment: comment FILE [TEXT]",
  run = function(args)
    local path, text = args[1], args[2]
    if not path or #args > 2 then
      App.eprintf("usage: quodrix comment FILE [TEXT]\n")
      return 2
    end
    local meta, fields = editor()
    if text == nil then
      meta:hiDoNothing_(path)
      App.printf("%s\n", fields.tfExifUserComment:stringValue())
      return meta:hGetExifUc_(path) ~= "" and 0 or 1
    end
    fields.tfActiveFilePath:setStringValue_(path)
    fields.tfExifUserComment:setStringValue_(text)
    meta:btApplyExifUserComment_(nil)
    local status = "Failed"
    for _, row in ipairs(fields.mymMetaLogTableViewController.rows) do
      App.appendLogLine(row)
      status = row.LogStatus
    end
    return status == "OK" and 0 or 1
  end,
})

App.command("print", {
  summary = "print an image fitted to the page: print FILE [--printer NAME] [--paper NAME] "
    .. "[--portrait|--landscape] [--copies N] [--cancel]",
  run = function(args)
    local path, choice, cancel = nil, {}, false
    local i = 1
    while i <= #args do
      local a = args[i]
      if a == "--printer" or a == "--paper" or a == "--copies" then
        local value = args[i + 1]
        if not value then
          App.eprintf("quodrix print: %s needs a value\n", a)
          return 2
        end
        if a == "--printer" then choice.printer = value
        elseif a == "--paper" then choice.paperName = value
        else choice.copies = math.tointeger(tonumber(value)) or 1 end
        i = i + 2
      else
        if a == "--portrait" or a == "--landscape" then choice.orientation = a:sub(3)
        elseif a == "--cancel" then cancel = true
        elseif path == nil then path = a
        else
          App.eprintf("usage: quodrix print FILE [options]\n")
          return 2
        end
        i = i + 1
      end
    end
    if not path then
      App.eprintf("usage: quodrix print FILE [options]\n")
      return 2
    end
    local status, asked = 0, false
    -- The command line plays the user at the print panel.
    objc.panels.print = function(request)
      asked = true
      App.printf("print panel: %s on %s (page setup %s)\n", path, choice.printer or request.printer or "no printer",
        request.showsPageSetup and "offered" or "not offered")
      if cancel then return nil end
      local answer = {}
      for k, v in pairs(request) do answer[k] = v end
      for k, v in pairs(choice) do answer[k] = v end
      return answer
    end
    objc.panels.alert = function(title, message)
      App.eprintf("%s: %s\n", title, message)
      status = 1
    end
    objc.cPrint:new():printService_(path)
    if status == 0 and asked and not cancel then App.printf("sent to the printer\n") end
    if cancel and status == 0 then App.printf("cancelled\n") end
    return status
  end,
})
