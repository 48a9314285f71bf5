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

-- Keys and values come from the image, as names do from the file system: shown as App.displayed shows them,
-- so that a line break in a value cannot break the tree and no escape sequence reaches the terminal.
local function printTree(tree, indent)
  for _, node in ipairs(tree) do
    if node.children then
      App.printf("%s%s\n", indent, App.displayed(node.key))
      printTree(node.children, indent .. "  ")
    else
      App.printf("%s%s: %s\n", indent, App.displayed(node.key), App.displayed(render(node.val)))
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

-- An image of the command line that must be an existing file; nil, or the refusal's exit status.
local function refusedImage(definition, path)
  local problem = App.missing(path, "file")
  if problem then return App.usageError(definition, problem) end
  return nil
end

-- Why an image to be read cannot be opened ("/x/a.jpg: Permission denied"), or nil: the image reader says
-- only that it is no image it can read.
local function unopened(path)
  local file, problem = io.open(path, "rb")
  if file then
    file:close()
    return nil
  end
  return problem
end

App.command("meta", {
  summary = "an image's metadata as a tree (meta --help)",
  usage = [[
usage: quodrix meta FILE
  FILE  an image (JPEG, PNG, TIFF, ...); its properties are printed as an indented tree
]],
  operands = { min = 1, max = 1 },
  main = function(_, operands)
    local path = App.absolute(operands[1])
    local refused = refusedImage(App.commands.meta, path)
    if refused then return refused end
    local problem = unopened(path)
    if problem then
      App.eprintf("quodrix meta: %s\n", App.displayed(problem))
      return App.FAILED
    end
    local meta, fields = editor()
    local tree = meta:hiDoNothing_(path)
    if tree == nil then
      -- The editor's notice word, and what it means.
      App.eprintf("quodrix meta: %s: %s: not an image that can be read\n", App.displayed(path),
        fields.tfExifUserComment:stringValue())
      return App.FAILED
    end
    if #tree == 0 then
      App.eprintf("quodrix meta: %s: no image properties\n", App.displayed(path))
      return App.FAILED
    end
    printTree(tree, "")
    return App.OK
  end,
})

App.command("comment", {
  summary = "read or write an image's Exif user comment (comment --help)",
  usage = [[
usage: quodrix comment FILE [TEXT]
  FILE  an image (JPEG, PNG, TIFF)
  TEXT  the new user comment (UTF-8 text); without it the present comment is printed on one line, its
        line breaks, tabs and other control characters shown as \n, \t, \xHH
A write gives one row on standard output (action, status, name, path -> path, and for a failed write the
cause after a tab) and a summary line on standard error. The write is logged in the application log.
]],
  operands = { min = 1, max = 2 },
  main = function(_, operands)
    local path, text = App.absolute(operands[1]), operands[2]
    local refused = refusedImage(App.commands.comment, path)
    if refused then return refused end
    -- Exif keeps a user comment as Unicode text: bytes that are not UTF-8 cannot be written as they are.
    if text and not utf8.len(text) then return App.usageError(App.commands.comment, "TEXT is not UTF-8 text") end
    local meta, fields = editor()
    if text == nil then
      local problem = unopened(path)
      if problem then
        App.eprintf("quodrix comment: %s\n", App.displayed(problem))
        return App.FAILED
      end
      meta:hiDoNothing_(path)
      local notice = fields.tfExifUserComment:stringValue()
      if meta:hGetExifUc_(path) == "" then
        -- The field holds the controller's notice, or nothing when the comment is there but empty.
        local why = notice == "NotSupported" and "not an image that can be read"
          or (notice == "" and "the image's user comment is empty" or "the image has no user comment")
        App.eprintf("quodrix comment: %s: %s%s\n", App.displayed(path), notice ~= "" and notice .. ": " or "", why)
        return App.FAILED
      end
      -- A comment comes with the image, from anywhere: shown as names are, it cannot act on the terminal.
      App.printf("%s\n", App.displayed(notice))
      return App.OK
    end
    fields.tfActiveFilePath:setStringValue_(path)
    fields.tfExifUserComment:setStringValue_(text)
    meta:btApplyExifUserComment_(nil)
    local status = "Failed"
    for _, row in ipairs(fields.mymMetaLogTableViewController.rows) do
      App.appendLogLine(row)
      status = row.LogStatus
    end
    if status == "OK" then
      App.summary({ { 1, "comment written" } })
      return App.OK
    end
    App.summary({ { 1, "failed" } })
    return App.FAILED
  end,
})

-- The number of copies, as the print panel takes it: 1 to 999.
local function copiesCount(text)
  local n, problem = App.positiveInteger(text)
  if n and n > 999 then return nil, "more than 999 copies" end
  return n, problem
end

-- Paper names a printer is asked for.
local papers = { "A3", "A4", "A5", "A6", "B4", "B5", "Letter", "Legal", "Tabloid", "Executive" }

App.command("print", {
  summary = "print an image fitted to the page (print --help)",
  usage = [[
usage: quodrix print [options] FILE
  FILE  the image to print, scaled to fit the page, centred, without margins
]],
  options = {
    { long = "printer", key = "printer", value = "NAME", help = "the printer (default: the system's default printer)" },
    { long = "paper", key = "paperName", value = "NAME", check = App.oneOf(table.unpack(papers)),
      help = "the paper: " .. table.concat(papers, ", ") },
    { long = "portrait", key = "portrait", help = "portrait orientation" },
    { long = "landscape", key = "landscape", help = "landscape orientation" },
    { long = "copies", key = "copies", value = "N", check = copiesCount, help = "the number of copies (1 to 999)" },
    { long = "cancel", key = "cancel", help = "prepare the job and cancel it instead of printing" },
  },
  operands = { min = 1, max = 1 },
  main = function(options, operands)
    local definition = App.commands.print
    if options.portrait and options.landscape then
      return App.usageError(definition, "--portrait and --landscape exclude each other")
    end
    local path = App.absolute(operands[1])
    local refused = refusedImage(definition, path)
    if refused then return refused end
    local choice = { printer = options.printer, paperName = options.paperName, copies = options.copies,
      orientation = options.portrait and "portrait" or options.landscape and "landscape" or nil }
    local status, asked, printer = App.OK, false, nil
    -- The command line plays the user at the print panel.
    objc.panels.print = function(request)
      asked = true
      printer = choice.printer or request.printer
      App.printf("printing %s on %s\n", App.displayed(path), printer and App.displayed(printer) or "no printer")
      if options.cancel then return nil end
      local answer = {}
      for k, v in pairs(request) do answer[k] = v end
      for k, v in pairs(choice) do answer[k] = v end
      return answer
    end
    objc.panels.alert = function(title, message)
      App.eprintf("quodrix print: %s: %s\n", title, App.displayed(message))
      status = App.FAILED
    end
    objc.cPrint:new():printService_(path)
    if status == App.OK and asked and not options.cancel then
      App.printf("sent to the printer\n")
      App.summary({ { 1, "job sent to " .. (printer and App.displayed(printer) or "the printer") } })
    end
    if options.cancel and status == App.OK then App.printf("cancelled\n") end
    return status
  end,
})
