-- The action log: one ActionLogEntry per call, also appended to the application log file.

myAppLog = objc.defineClass("myAppLog")

function myAppLog.hLogMyActions_______(cls, process, action, status, inputName, outputName, inputPath, outputPath)
  local entry = {
    LogDate = objc.date(),
    LogProcess = process,
    LogAction = action,
    LogStatus = status,
    LogI = inputName,
    LogO = outputName,
    LogIpath = inputPath,
    LogOpath = outputPath,
  }
  App.appendLogLine(entry)
  return { entry }
end
