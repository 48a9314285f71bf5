#include "lua/PlatformFunctions.h"

#include "core/BridgeError.h"
#include "core/Runtime.h"
#include "fs/Interruption.h"
#include "fs/RunJournal.h"
#include "lua/LuaCall.h"
#include "lua/LuaHost.h"
#include "lua/LuaNames.h"
#include "platform/ActionLogFile.h"
#include "platform/DisplayedText.h"
#include "platform/Paths.h"
#include "platform/Platform.h"
#include "platform/SystemLog.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <filesystem>
#include <string>
#include <string_view>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef QUODRIX_VERSION
#define QUODRIX_VERSION "0"
#endif

namespace quodrix::lua {

namespace {

// [-0, +1] The text, or nil.
int pushText(lua_State* L, std::optional<std::string> const& text)
{
    if (text)
        lua_pushlstring(L, text->data(), text->size());
    else
        lua_pushnil(L);
    return 1;
}

// [-0, +1] objc.lastFailure(): why the last message a script sent failed ("<what>: <cause>"), or nil when it
// recorded no failure.
int l_lastFailure(lua_State* L)
{
    return pushText(L, hostOf(L).runtime().platform().lastFailure());
}

// [-0, +1] objc.lastCause(): the cause of that failure without the operation named with it, or nil.
int l_lastCause(lua_State* L)
{
    return pushText(L, hostOf(L).runtime().platform().lastCause());
}

// [-0, +1] objc.rowFailure(): inside a log call or a log list's addObjects:, the cause of the failed row being
// reported; nil for a row that did not fail and outside a report.
int l_rowFailure(lua_State* L)
{
    return pushText(L, hostOf(L).runtime().platform().rowFailure());
}

// [-0, +1] objc.systemLogTo(path): sends the system log's diagnostic lines into the file at `path`, started
// afresh (nil or "" sends them back to standard error); true when done, false when the file cannot be opened.
int l_systemLogTo(lua_State* L)
{
    std::string const path = lua_isnoneornil(L, 1) ? std::string() : std::string(luaL_checkstring(L, 1));
    lua_pushboolean(L, setSystemLogFile(path));
    return 1;
}

// [-0, +1] objc.itemKind(path): "file", "folder" or "other" for an item that exists (links followed), nil
// for none.
int l_itemKind(lua_State* L)
{
    size_t length = 0;
    char const* text = luaL_checklstring(L, 1, &length);
    std::string const path(text, length);
    std::error_code ec;
    auto const status = path.empty() || path.find('\0') != std::string::npos
        ? std::filesystem::file_status(std::filesystem::file_type::not_found)
        : std::filesystem::status(path, ec);
    switch (status.type()) {
    case std::filesystem::file_type::regular: lua_pushstring(L, "file"); break;
    case std::filesystem::file_type::directory: lua_pushstring(L, "folder"); break;
    case std::filesystem::file_type::not_found:
    case std::filesystem::file_type::none: lua_pushnil(L); break;
    default: lua_pushstring(L, "other"); break;
    }
    return 1;
}

// [-0, +1] objc.readsFolder(path): whether the path is a folder whose entries can be read, as cToolBox
// hGetFilesInDir: lists it, without making a URL of every entry.
int l_readsFolder(lua_State* L)
{
    size_t length = 0;
    char const* text = luaL_checklstring(L, 1, &length);
    std::string const path(text, length);
    lua_pushboolean(L, path.find('\0') == std::string::npos && Platform::readsFolder(path));
    return 1;
}

// [-0, +1] objc.firstFileIn(folder): the path of the folder's first file (Platform::firstFileIn), or nil.
int l_firstFileIn(lua_State* L)
{
    size_t length = 0;
    char const* text = luaL_checklstring(L, 1, &length);
    std::string const folder(text, length);
    auto const first = folder.find('\0') == std::string::npos ? Platform::firstFileIn(folder) : std::nullopt;
    if (!first) {
        lua_pushnil(L);
        return 1;
    }
    lua_pushlstring(L, first->data(), first->size());
    return 1;
}

// Whether `path` lies strictly inside the platform's temporary folder, by its text after lexical
// normalisation.
bool insideTemporaryFolder(std::string const& path)
{
    auto const base = std::filesystem::path(temporaryDirectory()).lexically_normal();
    auto const relative = std::filesystem::path(path).lexically_normal().lexically_relative(base);
    return !relative.empty() && *relative.begin() != ".." && relative != ".";
}

// [-0, +1] objc.makeTemporaryFolder(prefix): a new, empty folder "<prefix>XXXXXX" in the platform's temporary
// folder (made when missing); raises an error naming the cause when it cannot be made.
int l_makeTemporaryFolder(lua_State* L)
{
    std::string const prefix = luaL_optstring(L, 1, "quodrix-");
    if (prefix.find('/') != std::string::npos || prefix.find('\0') != std::string::npos)
        throw BridgeError("objc.makeTemporaryFolder: the prefix is not part of one name");
    std::error_code ec;
    std::filesystem::create_directories(temporaryDirectory(), ec);
    std::string pattern = (std::filesystem::path(temporaryDirectory()) / (prefix + "XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw BridgeError("objc.makeTemporaryFolder: " + pattern + ": " + std::generic_category().message(errno));
    lua_pushlstring(L, pattern.data(), pattern.size());
    return 1;
}

// [-0, +1] objc.removeTemporaryFolder(path): removes a folder made by makeTemporaryFolder with everything in
// it; a path outside the temporary folder is refused with an error. Returns true when it is gone.
int l_removeTemporaryFolder(lua_State* L)
{
    std::string const path = luaL_checkstring(L, 1);
    if (!insideTemporaryFolder(path))
        throw BridgeError("objc.removeTemporaryFolder: " + path + " is not inside " + temporaryDirectory());
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    lua_pushboolean(L, !ec);
    return 1;
}

// [-0, +1] objc.isTerminal(fd): whether standard input (0), output (1) or error (2) is a terminal.
int l_isTerminal(lua_State* L)
{
    lua_Integer const fd = luaL_checkinteger(L, 1);
    luaL_argcheck(L, fd >= 0 && fd <= 2, 1, "0, 1 or 2");
    lua_pushboolean(L, isatty(int(fd)) == 1);
    return 1;
}

// [-0, +1] objc.absolutePath(path): the path made absolute against the current folder, as it is spelled
// otherwise ("a/./b" stays so, links are not followed); nil for an empty path.
int l_absolutePath(lua_State* L)
{
    size_t length = 0;
    char const* text = luaL_checklstring(L, 1, &length);
    std::string const path(text, length);
    if (path.empty() || path.find('\0') != std::string::npos) {
        lua_pushnil(L);
        return 1;
    }
    std::error_code ec;
    std::string const absolute = path[0] == '/' ? path : std::filesystem::absolute(path, ec).string();
    if (ec)
        throw BridgeError("objc.absolutePath: " + path + ": " + ec.message());
    lua_pushlstring(L, absolute.data(), absolute.size());
    return 1;
}

// The folders and files the native side knows, by the name scripts read them under.
struct NamedPath {
    char const* name;
    std::string (*path)();
};
NamedPath const kPaths[] = {
    { "home", homeDirectory },
    { "temporary", temporaryDirectory },
    { "applicationSupport", applicationSupportDirectory },
    { "support", quodrixSupportDirectory },
    { "logFile", applicationLogFile },
    { "config", configDirectory },
    { "state", stateDirectory },
};

// [-0, +1] __index of objc.paths: the path of that name, computed at the moment of the read.
int l_pathsIndex(lua_State* L)
{
    std::string_view const key = luaL_checkstring(L, 2);
    if (key == "resources") {
        std::string const folder = hostOf(L).runtime().platform().resourcesFolder().string();
        lua_pushlstring(L, folder.data(), folder.size());
        return 1;
    }
    auto const* found = std::find_if(std::begin(kPaths), std::end(kPaths), [&](NamedPath const& p) { return key == p.name; });
    if (found == std::end(kPaths))
        throw BridgeError("objc.paths: no path named " + std::string(key));
    std::string const path = found->path();
    lua_pushlstring(L, path.data(), path.size());
    return 1;
}

// [-0, +0] objc.journal.begin(commandLine): opens the journal of a run (see Platform::beginRun); the code
// that changes files records into it until objc.journal.finish().
int l_journalBegin(lua_State* L)
{
    size_t length = 0;
    char const* text = luaL_checklstring(L, 1, &length);
    hostOf(L).runtime().platform().beginRun(std::string(text, length));
    return 0;
}

// [-0, +1] objc.journal.id(): the id of the run open now (as the history and undo name it), or nil.
int l_journalId(lua_State* L)
{
    RunJournal const* journal = hostOf(L).runtime().platform().journal();
    return pushText(L, journal ? std::optional(journal->id()) : std::nullopt);
}

// [-0, +1] objc.journal.finish(): closes the run's journal, flushed to disk; nil when every record was
// written, else the cause that stopped the run.
int l_journalFinish(lua_State* L)
{
    Status const finished = hostOf(L).runtime().platform().finishRun();
    return pushText(L, finished.ok() ? std::nullopt : std::optional(finished.message()));
}

// [-0, +1] objc.journal.interrupted(): why the run was interrupted ("the run was interrupted (SIGINT)") when
// it was, else nil; the process ends by that signal once the command is done.
int l_journalInterrupted(lua_State* L)
{
    return pushText(L, Interruption::noted() != 0 ? std::optional(std::string(Interruption::cause())) : std::nullopt);
}

// [-0, +0 or +1] The text form of the value at `index` as tostring() gives it; a string is itself, without
// anything pushed. `emptyForNothing`: nil and false give "" rather than "nil" and "false".
std::string_view textForm(lua_State* L, int index, bool emptyForNothing)
{
    size_t size = 0;
    if (lua_type(L, index) == LUA_TSTRING) {
        char const* data = lua_tolstring(L, index, &size);
        return { data, size };
    }
    if (emptyForNothing && !lua_toboolean(L, index))
        return {};
    char const* data = luaL_tolstring(L, index, &size);
    return { data, size };
}

// [-0, +1] objc.logRow(path, header, date, process, inputName, action, outputName, status, inputPath,
// outputPath): adds one row of the application log file at `path` (the rows of a run are written a block at
// a time, see ActionLogFile); nil, else the cause of a block that could not be written. The date is a text,
// or a date written as the local time of its second. A field that is not a text is written as its text form,
// nil as nothing. This runs for every file of a run.
int l_logRow(lua_State* L)
{
    auto checked = [&](int index) {
        size_t size = 0;
        char const* data = luaL_checklstring(L, index, &size);
        return std::string_view(data, size);
    };
    ActionLogFile& file = hostOf(L).runtime().platform().actionLogFile();
    std::string_view const path = checked(1), header = checked(2);
    // The date: its text, or a date (objc.date) written as its local time.
    std::string_view date;
    if (auto const* when = testUserdata<Date>(L, 3, kDateMeta)) {
        auto text = file.dateText(when->secondsSince1970);
        if (!text)
            return luaL_argerror(L, 3, "a date without a local time");
        date = *text;
    } else {
        date = checked(3);
    }
    int const top = lua_gettop(L);
    luaL_checkstack(L, 8, "logging a row");
    std::array<std::string_view, 7> fields;
    for (int i = 0; i < 7; ++i)
        fields[std::size_t(i)] = textForm(L, 4 + i, true);
    auto problem = file.append(path, header, date, fields);
    // The text forms made for the fields are no longer needed once the row is kept.
    lua_settop(L, top);
    return pushText(L, problem);
}

// [-0, +0] objc.printRow(displayNames, action, status, name, inputPath, outputPath, cause): prints one row
// of a command, "ACTION<tab>STATUS<tab>NAME<tab>INPUT -> OUTPUT" and the cause (with its own leading tab,
// or "") and a line end, on standard output (the stream of io.stdout). With displayNames the name and the
// paths are shown as objc.displayed shows them (nil as nothing), else as tostring() gives them.
int l_printRow(lua_State* L)
{
    bool const displayNames = lua_toboolean(L, 1);
    int const top = lua_gettop(L);
    luaL_checkstack(L, 8, "printing a row");
    // The pieces first, then the line at its full size: a line grown piece by piece was allocated again
    // two or three times, for every row of a run.
    std::string_view const action = textForm(L, 2, false), status = textForm(L, 3, false);
    std::array<std::string, 3> shown;
    std::array<std::string_view, 3> names;
    for (std::size_t i = 0; i < names.size(); ++i) {
        names[i] = textForm(L, 4 + int(i), displayNames);
        if (displayNames && !showsAsItIs(names[i]))
            names[i] = shown[i] = displayedText(names[i]);
    }
    std::string_view const cause = textForm(L, 7, false);
    std::string line;
    line.reserve(action.size() + status.size() + names[0].size() + names[1].size() + names[2].size() + cause.size()
        + 8);
    line.append(action).append(1, '\t').append(status).append(1, '\t').append(names[0]).append(1, '\t');
    line.append(names[1]).append(" -> ").append(names[2]).append(cause).append(1, '\n');
    lua_settop(L, top);
    std::fwrite(line.data(), 1, line.size(), stdout);
    return 0;
}

// [-0, +1] objc.flushLogRows(): writes the rows that objc.logRow kept; nil, else the cause.
int l_flushLogRows(lua_State* L)
{
    return pushText(L, hostOf(L).runtime().platform().actionLogFile().flush());
}

// [-0, +1] objc.displayed(text): the text as a row shows it (platform/DisplayedText.h); the text itself,
// unchanged, in the common case. This runs for every name and path of every row printed.
int l_displayed(lua_State* L)
{
    size_t length = 0;
    char const* text = luaL_checklstring(L, 1, &length);
    std::string_view const view(text, length);
    if (showsAsItIs(view)) {
        lua_pushvalue(L, 1);
        return 1;
    }
    std::string const shown = displayedText(view);
    lua_pushlstring(L, shown.data(), shown.size());
    return 1;
}

// [-0, +0] Sets t[name] = a new empty table whose metatable's __index is `index` (t at -1).
void setIndexedTable(lua_State* L, char const* name, lua_CFunction index)
{
    lua_newtable(L);
    lua_newtable(L);
    lua_pushcfunction(L, index);
    lua_setfield(L, -2, "__index");
    lua_setmetatable(L, -2);
    lua_setfield(L, -2, name);
}

}

void addPlatformFunctions(lua_State* L)
{
    StackCheck check(L, 0, "addPlatformFunctions");
    lua_pushstring(L, QUODRIX_VERSION);
    lua_setfield(L, -2, "version");
    lua_pushcfunction(L, guarded<l_lastFailure>);
    lua_setfield(L, -2, "lastFailure");
    lua_pushcfunction(L, guarded<l_lastCause>);
    lua_setfield(L, -2, "lastCause");
    lua_pushcfunction(L, guarded<l_rowFailure>);
    lua_setfield(L, -2, "rowFailure");
    lua_pushcfunction(L, guarded<l_systemLogTo>);
    lua_setfield(L, -2, "systemLogTo");
    lua_pushcfunction(L, guarded<l_itemKind>);
    lua_setfield(L, -2, "itemKind");
    lua_pushcfunction(L, guarded<l_readsFolder>);
    lua_setfield(L, -2, "readsFolder");
    lua_pushcfunction(L, guarded<l_firstFileIn>);
    lua_setfield(L, -2, "firstFileIn");
    lua_pushcfunction(L, guarded<l_makeTemporaryFolder>);
    lua_setfield(L, -2, "makeTemporaryFolder");
    lua_pushcfunction(L, guarded<l_removeTemporaryFolder>);
    lua_setfield(L, -2, "removeTemporaryFolder");
    lua_pushcfunction(L, guarded<l_isTerminal>);
    lua_setfield(L, -2, "isTerminal");
    lua_pushcfunction(L, guarded<l_logRow>);
    lua_setfield(L, -2, "logRow");
    lua_pushcfunction(L, guarded<l_printRow>);
    lua_setfield(L, -2, "printRow");
    lua_pushcfunction(L, guarded<l_flushLogRows>);
    lua_setfield(L, -2, "flushLogRows");
    lua_pushcfunction(L, guarded<l_displayed>);
    lua_setfield(L, -2, "displayed");
    lua_pushcfunction(L, guarded<l_absolutePath>);
    lua_setfield(L, -2, "absolutePath");
    setIndexedTable(L, "paths", guarded<l_pathsIndex>);
    lua_newtable(L);
    lua_pushcfunction(L, guarded<l_journalBegin>);
    lua_setfield(L, -2, "begin");
    lua_pushcfunction(L, guarded<l_journalFinish>);
    lua_setfield(L, -2, "finish");
    lua_pushcfunction(L, guarded<l_journalId>);
    lua_setfield(L, -2, "id");
    lua_pushcfunction(L, guarded<l_journalInterrupted>);
    lua_setfield(L, -2, "interrupted");
    lua_setfield(L, -2, "journal");
}

}
