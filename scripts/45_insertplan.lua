-- Insert renaming with its plan worked out first (quodrix insert, scripts/30_insert.lua): every target and
-- every predicted failure from the native planner (QDRenamePlan planInsert:), shown in a simulation; a real
-- run whose plan fails does nothing unless told to keep going; renaming in place is carried out by the
-- planner, which orders chains; everything else goes through the insert renaming controller as before.

InsertPlanning = {}


-- The plan of the run: every target, every predicted failure. Nil when the targets are not known (a
-- simulation without a destination).
local function plan(options)
  if not options.inPlace and (options.destination == nil or options.destination == "") then return nil end
  local planned = objc.QDRenamePlan:new()
  planned:planInsert_({ text = options.text, positions = options.positions, files = options.files,
    folders = options.folders, destination = options.destination or "", inPlace = options.inPlace or false,
    copy = not options.overwrite })
  return planned, planned:check()
end

-- An insert run after its plan: refused when the plan fails (unless keep-going); renames in place by the
-- plan itself, since chains must be ordered there; otherwise through the controller with every file,
-- folder by folder when in place.
function InsertPlanning.run(options)
  local planned, failures = plan(options)
  local planSummary = planned and planned:summary()
  if planSummary and planSummary.missed then options.missed = options.missed or planSummary.missed end
  if options.missed then
    -- The files that could be collected are still renamed; the run as a whole has failed.
    App.eprintf("quodrix insert: not every folder could be read: %s\n", App.displayed(options.missed))
  end
  if planned == nil then return Insert.run(options) end
  local causes = {}
  if failures > 0 then
    for _, row in ipairs(planned:failedRows()) do
      causes[row.source] = row.cause
    end
  end
  -- Files whose new name is their own (no position falls within the name) are left alone by a rename in
  -- place; into a destination the plan counts them as failures, as the controller's store fails them.
  local inPlaceMoves = options.inPlace and options.overwrite
  local unchanged = planSummary.unchanged
  if unchanged > 0 and unchanged == planned:pairCount() then
    return { rows = 0, failed = 0, simulated = 0, unchanged = unchanged }
  end
  if failures > 0 and not options.simulate and not options.keepGoing then
    -- Nothing is done; every file is reported, the ones that would not fail as "not done".
    local summary = planned:execute_(false)
    local printer = App.reportPlanRows(planned, true)
    return { rows = printer.rowCount, failed = summary.failed, simulated = 0, refused = true }
  end
  if inPlaceMoves and not options.simulate then
    local summary = planned:execute_(true)
    local printer = App.reportPlanRows(planned, true)
    return { rows = printer.rowCount, failed = summary.failed, simulated = 0, unchanged = unchanged }
  end
  -- The controller's log list says which simulated rows the plan predicts to fail.
  options.causes = causes
  -- Kept going, the controller gets every file and each one fails or not by itself, with its own cause.
  local groups = { { destination = options.destination, files = options.files } }
  if options.inPlace then
    groups = {}
    local byFolder = {}
    for _, row in ipairs(planned:rows()) do
      local folder = row.source:match("^(.*/)[^/]*$") or "./"
      if not byFolder[folder] then
        byFolder[folder] = { destination = folder, files = {} }
        groups[#groups + 1] = byFolder[folder]
      end
      local group = byFolder[folder]
      group.files[#group.files + 1] = row.source
    end
  end
  -- The controller shows the files that keep their names as it shows the others.
  local total = { rows = 0, failed = 0, simulated = 0, unchanged = unchanged }
  for _, group in ipairs(groups) do
    if #group.files > 0 then
      options.destination, options.files = group.destination, group.files
      local summary = Insert.run(options)
      total.rows, total.failed, total.alert = total.rows + summary.rows, total.failed + summary.failed, summary.alert
      total.simulated = total.simulated + summary.simulated
      total.predicted = (total.predicted or 0) + (summary.predicted or 0)
      if summary.alert then break end
    end
  end
  options.causes = nil
  return total
end

