#include "app/LuaHost.h"

#include "app/BridgeError.h"
#include "app/Class.h"
#include "app/Object.h"
#include "app/Runtime.h"
#include "app/ScriptClass.h"
#include "app/ScriptPanels.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>
#include <lua.hpp>

namespace quodrix {

namespace {

char const* const kObjectMeta = "quodrix.Object";
char const* const kClassMeta = "quodrix.Class";
char const* const kDataMeta = "quodrix.Data";
char const* const kDateMeta = "quodrix.Date";
char const* const kUrlMeta = "quodrix.URL";
char const* const kMutableStringMeta = "quodrix.MutableString";
char const* const kNullMeta = "quodrix.Null";
char const* const kQueueKey = "quodrix.queue";
char const* const kScriptClassField = "__quodrix_class";
char const* const kScriptInstanceField = "__quodrix_instance";
int const kMaxDepth = 200;

// Userdata holding one C++ value, destroyed by __gc.
template<typename T>
T* pushUserdata(lua_State* L, T value, char const* meta)
{
    void* memory = lua_newuserdatauv(L, sizeof(T), 0);
    T* object = new (memory) T(std::move(value));
    luaL_setmetatable(L, meta);
    return object;
}

template<typename T>
T* testUserdata(lua_State* L, int index, char const* meta)
{
    return static_cast<T*>(luaL_testudata(L, index, meta));
}

template<typename T>
int destroyUserdata(lua_State* L)
{
    // The metatable names the type; a userdata of another type never reaches this __gc.
    static_cast<T*>(lua_touserdata(L, 1))->~T();
    return 0;
}

// Runs a C function and turns C++ exceptions into Lua errors once the C++ scope has unwound. Lua's own
// errors (thrown by the C++ build of Lua as a pointer, not a std::exception) pass through untouched.
template<lua_CFunction F>
int guarded(lua_State* L)
{
    std::string message;
    try {
        return F(L);
    } catch (RaisedError const& e) {
        message = e.file() + " " + e.method() + ": " + e.description();
    } catch (std::exception const& e) {
        message = e.what();
    }
    lua_pushlstring(L, message.data(), message.size());
    return lua_error(L);
}

std::string receiverName(Value const& receiver)
{
    if (receiver.kind() == Kind::Class && receiver.asClass().cls)
        return receiver.asClass().cls->name();
    if (receiver.kind() == Kind::Object && receiver.asObject() && receiver.asObject()->objectClass())
        return receiver.asObject()->objectClass()->name();
    return std::string(kindName(receiver.kind()));
}

// [-0, +n] Sends `selector` to the receiver at index `first` with the arguments above it.
int sendFrom(lua_State* L, int first, std::string const& selector)
{
    LuaHost& host = hostOf(L);
    int top = lua_gettop(L);
    Value receiver = host.toValue(first);
    Array args;
    args.reserve(std::size_t(std::max(0, top - first)));
    for (int i = first + 1; i <= top; ++i) {
        try {
            args.push_back(host.toValue(i));
        } catch (ArgumentError const& e) {
            throw BridgeError("[" + receiverName(receiver) + " " + selector + "]: argument "
                + std::to_string(i - first) + ": " + e.what());
        }
    }
    Value result = host.runtime().send(receiver, selector, args);
    host.push(result);
    return 1;
}

// x:send(selector, ...)
int l_send(lua_State* L)
{
    std::string selector = luaL_checkstring(L, 2);
    lua_remove(L, 2);
    return sendFrom(L, 1, selector);
}

// The function behind x:hStoreFiles2__(a, b); upvalue 1 is the selector.
int l_sendSelector(lua_State* L)
{
    std::string selector = lua_tostring(L, lua_upvalueindex(1));
    if (lua_gettop(L) < 1)
        throw BridgeError(selector + ": called without a receiver (use ':' to call a method)");
    return sendFrom(L, 1, selector);
}

void pushSender(lua_State* L, std::string const& selector)
{
    lua_pushlstring(L, selector.data(), selector.size());
    lua_pushcclosure(L, guarded<l_sendSelector>, 1);
}

// __index of objects and native classes: the accessor of a selector.
int l_receiverIndex(lua_State* L)
{
    size_t length = 0;
    char const* key = luaL_checklstring(L, 2, &length);
    std::string_view name(key, length);
    if (name == "send") {
        lua_pushcfunction(L, guarded<l_send>);
        return 1;
    }
    pushSender(L, selectorForScriptKey(name));
    return 1;
}

int l_objectToString(lua_State* L)
{
    Value v = hostOf(L).toValue(1);
    std::string text = v.description();
    lua_pushlstring(L, text.data(), text.size());
    return 1;
}

int l_valueEquals(lua_State* L)
{
    LuaHost& host = hostOf(L);
    lua_pushboolean(L, host.toValue(1) == host.toValue(2));
    return 1;
}

// objc[name] and objc.class(name): the class of that name at the moment of the call, or nil.
int l_class(lua_State* L)
{
    char const* name = luaL_checkstring(L, lua_gettop(L) >= 2 && lua_istable(L, 1) ? 2 : 1);
    LuaHost& host = hostOf(L);
    Class const* cls = host.runtime().findClass(name);
    if (!cls) {
        lua_pushnil(L);
        return 1;
    }
    host.push(ClassRef { cls });
    return 1;
}

int l_defineClass(lua_State* L)
{
    std::string name = luaL_checkstring(L, 1);
    LuaHost& host = hostOf(L);
    Class const* superclass = nullptr;
    if (lua_isnoneornil(L, 2)) {
        superclass = host.runtime().findClass("NSObject");
    } else if (lua_type(L, 2) == LUA_TSTRING) {
        superclass = host.runtime().findClass(lua_tostring(L, 2));
        if (!superclass)
            throw BridgeError("objc.defineClass: no base class named " + std::string(lua_tostring(L, 2)));
    } else {
        Value base = host.toValue(2);
        if (base.kind() != Kind::Class)
            throw BridgeError("objc.defineClass: the base of " + name + " must be a class or a class name");
        superclass = base.asClass().cls;
    }
    if (Class const* existing = host.runtime().findClass(name)) {
        auto const* script = dynamic_cast<ScriptClass const*>(existing);
        if (!script)
            throw BridgeError("objc.defineClass: " + name + " is a native class");
        script->pushTable();
        return 1;
    }
    lua_newtable(L);
    host.defineScriptClass(name, superclass, lua_gettop(L));
    return 1;
}

int l_data(lua_State* L)
{
    size_t length = 0;
    char const* bytes = luaL_optlstring(L, 1, "", &length);
    hostOf(L).push(Data { std::string(bytes, length) });
    return 1;
}

int l_date(lua_State* L)
{
    double seconds = lua_isnoneornil(L, 1) ? Date::now().secondsSince1970 : luaL_checknumber(L, 1);
    luaL_argcheck(L, std::isfinite(seconds), 1, "a date needs a finite number of seconds");
    hostOf(L).push(Date { seconds });
    return 1;
}

int l_url(lua_State* L)
{
    hostOf(L).push(Url { luaL_checkstring(L, 1) });
    return 1;
}

int l_fileURL(lua_State* L)
{
    hostOf(L).push(Url::fromPath(luaL_checkstring(L, 1)));
    return 1;
}

int l_mutableString(lua_State* L)
{
    size_t length = 0;
    char const* text = luaL_optlstring(L, 1, "", &length);
    hostOf(L).push(MutableString { std::make_shared<std::string>(text, length) });
    return 1;
}

int l_queue(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TFUNCTION);
    lua_getfield(L, LUA_REGISTRYINDEX, kQueueKey);
    lua_pushvalue(L, 1);
    lua_rawseti(L, -2, lua_Integer(lua_rawlen(L, -2) + 1));
    lua_pop(L, 1);
    return 0;
}

// Accessors of the value userdata.
int l_dataBytes(lua_State* L)
{
    auto* data = static_cast<Data*>(luaL_checkudata(L, 1, kDataMeta));
    lua_pushlstring(L, data->bytes.data(), data->bytes.size());
    return 1;
}

int l_dataLength(lua_State* L)
{
    auto* data = static_cast<Data*>(luaL_checkudata(L, 1, kDataMeta));
    lua_pushinteger(L, lua_Integer(data->bytes.size()));
    return 1;
}

int l_dateSeconds(lua_State* L)
{
    auto* date = static_cast<Date*>(luaL_checkudata(L, 1, kDateMeta));
    lua_pushnumber(L, date->secondsSince1970);
    return 1;
}

int l_urlPath(lua_State* L)
{
    auto* url = static_cast<Url*>(luaL_checkudata(L, 1, kUrlMeta));
    auto path = url->path();
    if (!path) {
        lua_pushnil(L);
        return 1;
    }
    lua_pushlstring(L, path->data(), path->size());
    return 1;
}

int l_urlAbsoluteString(lua_State* L)
{
    auto* url = static_cast<Url*>(luaL_checkudata(L, 1, kUrlMeta));
    lua_pushlstring(L, url->text.data(), url->text.size());
    return 1;
}

int l_urlIsFile(lua_State* L)
{
    auto* url = static_cast<Url*>(luaL_checkudata(L, 1, kUrlMeta));
    lua_pushboolean(L, url->isFile());
    return 1;
}

int l_mutableStringText(lua_State* L)
{
    auto* s = static_cast<MutableString*>(luaL_checkudata(L, 1, kMutableStringMeta));
    lua_pushlstring(L, s->text->data(), s->text->size());
    return 1;
}

int l_mutableStringSet(lua_State* L)
{
    auto* s = static_cast<MutableString*>(luaL_checkudata(L, 1, kMutableStringMeta));
    size_t length = 0;
    char const* text = luaL_checklstring(L, 2, &length);
    s->text->assign(text, length);
    return 0;
}

int l_mutableStringAppend(lua_State* L)
{
    auto* s = static_cast<MutableString*>(luaL_checkudata(L, 1, kMutableStringMeta));
    size_t length = 0;
    char const* text = luaL_checklstring(L, 2, &length);
    s->text->append(text, length);
    return 0;
}

int l_nullToString(lua_State* L)
{
    lua_pushliteral(L, "null");
    return 1;
}

// __index of a script class table, for keys that the table (and its script bases) does not hold: the
// selectors that the native superclass answers (alloc, new, init, setValue:forKey:, ...) and send.
int l_scriptClassIndex(lua_State* L)
{
    size_t length = 0;
    char const* key = lua_tolstring(L, 2, &length);
    if (!key || lua_type(L, 2) != LUA_TSTRING)
        return 0;
    std::string_view name(key, length);
    if (name == "send") {
        lua_pushcfunction(L, guarded<l_send>);
        return 1;
    }
    if (name.starts_with("__"))
        return 0;
    LuaHost& host = hostOf(L);
    Value cls = host.toValue(1);
    if (cls.kind() != Kind::Class)
        return 0;
    Class const* super = cls.asClass().cls->superclass();
    if (!super)
        return 0;
    // A script base class: look the key up in its table (which falls back the same way).
    if (auto const* scriptBase = dynamic_cast<ScriptClass const*>(super)) {
        scriptBase->pushTable();
        lua_pushvalue(L, 2);
        lua_gettable(L, -2);
        return 1;
    }
    std::string selector = selectorForScriptKey(name);
    if (!super->responds(selector, Side::Class) && !super->responds(selector, Side::Instance))
        return 0;
    pushSender(L, selector);
    return 1;
}

int l_traceback(lua_State* L)
{
    char const* message = lua_tostring(L, 1);
    if (!message) {
        if (luaL_callmeta(L, 1, "__tostring") && lua_type(L, -1) == LUA_TSTRING)
            message = lua_tostring(L, -1);
        else
            message = lua_pushfstring(L, "(error object is a %s value)", luaL_typename(L, 1));
    }
    luaL_traceback(L, L, message, 1);
    return 1;
}

void newMetatable(lua_State* L, char const* name, luaL_Reg const* methods, lua_CFunction gc)
{
    luaL_newmetatable(L, name);
    if (gc) {
        lua_pushcfunction(L, gc);
        lua_setfield(L, -2, "__gc");
    }
    lua_pushcfunction(L, guarded<l_objectToString>);
    lua_setfield(L, -2, "__tostring");
    lua_pushcfunction(L, guarded<l_valueEquals>);
    lua_setfield(L, -2, "__eq");
    if (methods) {
        lua_newtable(L);
        luaL_setfuncs(L, methods, 0);
        lua_setfield(L, -2, "__index");
    } else {
        lua_pushcfunction(L, guarded<l_receiverIndex>);
        lua_setfield(L, -2, "__index");
    }
    lua_pop(L, 1);
}

}

LuaHost& hostOf(lua_State* L)
{
    return **static_cast<LuaHost**>(lua_getextraspace(L));
}

LuaHost::LuaHost(Runtime& runtime)
    : m_runtime(runtime)
    , m_anchor(std::make_shared<LuaAnchor>())
{
    lua_State* L = luaL_newstate();
    if (!L)
        throw std::runtime_error("cannot create the Lua state");
    m_anchor->state = L;
    *static_cast<LuaHost**>(lua_getextraspace(L)) = this;
    luaL_openlibs(L);
    openObjcTable();
    m_runtime.platform().setPanels(std::make_unique<ScriptPanels>(*this));
}

LuaHost::~LuaHost()
{
    m_runtime.platform().setPanels(std::make_unique<TerminalPanels>());
    m_anchor->closing = true;
    lua_close(m_anchor->state);
    m_anchor->state = nullptr;
}

void LuaHost::openObjcTable()
{
    lua_State* L = state();

    newMetatable(L, kObjectMeta, nullptr, destroyUserdata<ObjectRef>);
    newMetatable(L, kClassMeta, nullptr, nullptr);
    static luaL_Reg const dataMethods[] = { { "bytes", l_dataBytes }, { "length", l_dataLength }, { nullptr, nullptr } };
    newMetatable(L, kDataMeta, dataMethods, destroyUserdata<Data>);
    luaL_getmetatable(L, kDataMeta);
    lua_pushcfunction(L, l_dataLength);
    lua_setfield(L, -2, "__len");
    lua_pop(L, 1);
    static luaL_Reg const dateMethods[] = { { "timeIntervalSince1970", l_dateSeconds }, { nullptr, nullptr } };
    newMetatable(L, kDateMeta, dateMethods, nullptr);
    static luaL_Reg const urlMethods[] = { { "path", l_urlPath },
        { "absoluteString", l_urlAbsoluteString },
        { "isFileURL", l_urlIsFile },
        { nullptr, nullptr } };
    newMetatable(L, kUrlMeta, urlMethods, destroyUserdata<Url>);
    static luaL_Reg const stringMethods[] = { { "string", l_mutableStringText },
        { "setString", l_mutableStringSet },
        { "appendString", l_mutableStringAppend },
        { nullptr, nullptr } };
    newMetatable(L, kMutableStringMeta, stringMethods, destroyUserdata<MutableString>);

    lua_newtable(L);
    lua_setfield(L, LUA_REGISTRYINDEX, kQueueKey);

    lua_newtable(L);  // objc
    static luaL_Reg const functions[] = {
        { "class", guarded<l_class> },
        { "defineClass", guarded<l_defineClass> },
        { "data", guarded<l_data> },
        { "date", guarded<l_date> },
        { "url", guarded<l_url> },
        { "fileURL", guarded<l_fileURL> },
        { "mutableString", guarded<l_mutableString> },
        { "queue", guarded<l_queue> },
        { nullptr, nullptr },
    };
    luaL_setfuncs(L, functions, 0);

    lua_newuserdatauv(L, 0, 0);  // objc.null
    luaL_newmetatable(L, kNullMeta);
    lua_pushcfunction(L, l_nullToString);
    lua_setfield(L, -2, "__tostring");
    lua_setmetatable(L, -2);
    lua_pushvalue(L, -1);
    lua_setfield(L, LUA_REGISTRYINDEX, kNullMeta);
    lua_setfield(L, -2, "null");

    lua_newtable(L);
    lua_setfield(L, -2, "panels");
    lua_newtable(L);
    lua_setfield(L, -2, "arguments");

    lua_newtable(L);  // metatable of objc: unknown keys are class names
    lua_pushcfunction(L, guarded<l_class>);
    lua_setfield(L, -2, "__index");
    lua_setmetatable(L, -2);

    lua_setglobal(L, "objc");
}

void LuaHost::setArguments(std::vector<std::string> const& arguments)
{
    lua_State* L = state();
    lua_getglobal(L, "objc");
    lua_createtable(L, int(arguments.size()), 0);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        lua_pushlstring(L, arguments[i].data(), arguments[i].size());
        lua_rawseti(L, -2, lua_Integer(i + 1));
    }
    lua_setfield(L, -2, "arguments");
    lua_pop(L, 1);
}

bool LuaHost::runFile(std::filesystem::path const& file, std::string& error)
{
    lua_State* L = state();
    int base = lua_gettop(L);
    lua_pushcfunction(L, l_traceback);
    if (luaL_loadfilex(L, file.c_str(), "t") != LUA_OK || lua_pcall(L, 0, 0, base + 1) != LUA_OK) {
        char const* message = lua_tostring(L, -1);
        error = message ? message : "error while loading " + file.string();
        lua_settop(L, base);
        return false;
    }
    lua_settop(L, base);
    return true;
}

bool LuaHost::loadScripts(std::filesystem::path const& folder, std::string& error)
{
    std::error_code ec;
    std::vector<std::filesystem::path> scripts;
    for (auto const& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (entry.path().extension() == ".lua" && entry.is_regular_file(ec))
            scripts.push_back(entry.path());
    }
    if (ec) {
        error = "cannot read the scripts folder " + folder.string() + ": " + ec.message();
        return false;
    }
    std::sort(scripts.begin(), scripts.end(),
        [](auto const& a, auto const& b) { return a.filename().native() < b.filename().native(); });
    for (auto const& script : scripts) {
        if (!runFile(script, error))
            return false;
    }
    return true;
}

int LuaHost::runMainLoop()
{
    lua_State* L = state();
    auto fail = [&](std::string const& message) {
        std::cerr << message << std::endl;
        return 1;
    };

    int base = lua_gettop(L);
    lua_pushcfunction(L, l_traceback);
    int handler = base + 1;

    // The delegate's applicationDidFinishLaunching:, sent through the runtime so that a missing or broken
    // delegate is reported like any other bridge error.
    if (Class const* delegate = m_runtime.findClass("AppDelegate");
        delegate && delegate->responds("applicationDidFinishLaunching:", Side::Class)) {
        auto const* script = dynamic_cast<ScriptClass const*>(delegate);
        if (script) {
            script->pushFunction("applicationDidFinishLaunching:");
            script->pushTable();
            lua_pushnil(L);
            if (lua_pcall(L, 2, 0, handler) != LUA_OK) {
                std::string message = lua_tostring(L, -1);
                lua_settop(L, base);
                return fail(message);
            }
        }
    }

    // Then what scripts queued, first in first out, until terminate: or nothing is left.
    while (!m_runtime.terminateRequested()) {
        lua_getfield(L, LUA_REGISTRYINDEX, kQueueKey);
        lua_Integer count = lua_Integer(lua_rawlen(L, -1));
        if (count == 0) {
            lua_pop(L, 1);
            break;
        }
        lua_rawgeti(L, -1, 1);
        // Shift the rest down by one.
        for (lua_Integer i = 1; i < count; ++i) {
            lua_rawgeti(L, -2, i + 1);
            lua_rawseti(L, -3, i);
        }
        lua_pushnil(L);
        lua_rawseti(L, -3, count);
        lua_remove(L, -2);
        if (lua_pcall(L, 0, 0, handler) != LUA_OK) {
            std::string message = lua_tostring(L, -1);
            lua_settop(L, base);
            return fail(message);
        }
    }
    lua_settop(L, base);
    return m_runtime.exitStatus();
}

void LuaHost::push(Value const& value)
{
    lua_State* L = state();
    luaL_checkstack(L, 4, "pushing a bridge value");
    switch (value.kind()) {
    case Kind::Null:
        lua_pushnil(L);
        return;
    case Kind::Bool:
        lua_pushboolean(L, value.asBool());
        return;
    case Kind::Integer:
        lua_pushinteger(L, lua_Integer(value.asInteger()));
        return;
    case Kind::Float:
        lua_pushnumber(L, value.asFloat());
        return;
    case Kind::String:
        lua_pushlstring(L, value.asString().data(), value.asString().size());
        return;
    case Kind::Data:
        pushUserdata(L, value.asData(), kDataMeta);
        return;
    case Kind::Date:
        pushUserdata(L, value.asDate(), kDateMeta);
        return;
    case Kind::Url:
        pushUserdata(L, value.asUrl(), kUrlMeta);
        return;
    case Kind::MutableString:
        pushUserdata(L, value.asMutableString(), kMutableStringMeta);
        return;
    case Kind::Array: {
        auto const& array = value.asArray();
        lua_createtable(L, int(array.size()), 0);
        lua_Integer i = 1;
        for (auto const& element : array) {
            pushCollectionElement(element);
            lua_rawseti(L, -2, i++);
        }
        return;
    }
    case Kind::Dictionary: {
        auto const& dictionary = value.asDictionary();
        lua_createtable(L, 0, int(dictionary.size()));
        for (auto const& [key, element] : dictionary) {
            lua_pushlstring(L, key.data(), key.size());
            pushCollectionElement(element);
            lua_rawset(L, -3);
        }
        return;
    }
    case Kind::Object: {
        auto const& object = value.asObject();
        if (!object) {
            lua_pushnil(L);
            return;
        }
        if (auto const* script = dynamic_cast<ScriptObject const*>(object.get())) {
            lua_rawgeti(L, LUA_REGISTRYINDEX, script->tableRef());
            return;
        }
        pushUserdata(L, object, kObjectMeta);
        return;
    }
    case Kind::Class: {
        Class const* cls = value.asClass().cls;
        if (!cls) {
            lua_pushnil(L);
            return;
        }
        if (auto const* script = dynamic_cast<ScriptClass const*>(cls)) {
            script->pushTable();
            return;
        }
        pushUserdata(L, cls, kClassMeta);
        return;
    }
    }
}

void LuaHost::pushCollectionElement(Value const& value)
{
    if (value.isNull() || (value.kind() == Kind::Object && !value.asObject()))
        lua_getfield(state(), LUA_REGISTRYINDEX, kNullMeta);
    else
        push(value);
}

Value LuaHost::toValue(int index)
{
    return toValue(lua_absindex(state(), index), 0);
}

Value LuaHost::toValue(int index, int depth)
{
    lua_State* L = state();
    switch (lua_type(L, index)) {
    case LUA_TNONE:
    case LUA_TNIL:
        return {};
    case LUA_TBOOLEAN:
        return Value(bool(lua_toboolean(L, index)));
    case LUA_TNUMBER:
        if (lua_isinteger(L, index))
            return Value(static_cast<long long>(lua_tointeger(L, index)));
        return Value(double(lua_tonumber(L, index)));
    case LUA_TSTRING: {
        size_t length = 0;
        char const* text = lua_tolstring(L, index, &length);
        return Value(std::string(text, length));
    }
    case LUA_TUSERDATA: {
        if (auto* object = testUserdata<ObjectRef>(L, index, kObjectMeta))
            return Value(*object);
        if (auto* cls = testUserdata<Class const*>(L, index, kClassMeta))
            return Value(ClassRef { *cls });
        if (auto* data = testUserdata<Data>(L, index, kDataMeta))
            return Value(*data);
        if (auto* date = testUserdata<Date>(L, index, kDateMeta))
            return Value(*date);
        if (auto* url = testUserdata<Url>(L, index, kUrlMeta))
            return Value(*url);
        if (auto* s = testUserdata<MutableString>(L, index, kMutableStringMeta))
            return Value(*s);
        lua_getfield(L, LUA_REGISTRYINDEX, kNullMeta);
        bool isNull = lua_rawequal(L, index, -1);
        lua_pop(L, 1);
        if (isNull)
            return {};
        throw ArgumentError("a userdata of unknown kind cannot cross the bridge");
    }
    case LUA_TTABLE:
        break;
    default:
        throw ArgumentError(std::string("a ") + luaL_typename(L, index) + " value cannot cross the bridge");
    }

    // A script class or a script instance.
    if (lua_getmetatable(L, index)) {
        if (lua_getfield(L, -1, kScriptClassField) == LUA_TSTRING) {
            Class const* cls = m_runtime.findClass(lua_tostring(L, -1));
            lua_pop(L, 2);
            return Value(ClassRef { cls });
        }
        lua_pop(L, 1);
        if (lua_getfield(L, -1, kScriptInstanceField) == LUA_TSTRING) {
            Class const* cls = m_runtime.findClass(lua_tostring(L, -1));
            lua_pop(L, 2);
            lua_pushvalue(L, index);
            auto object = std::make_shared<ScriptObject>(m_anchor, luaL_ref(L, LUA_REGISTRYINDEX));
            object->setObjectClass(cls);
            return Value(ObjectRef(object));
        }
        lua_pop(L, 2);
    }

    // A plain table: a sequence is an array, a table with string keys a dictionary, never both.
    if (depth >= kMaxDepth)
        throw ArgumentError("a table nested too deeply (or holding itself) cannot cross the bridge");
    luaL_checkstack(L, 4, "converting a table");
    lua_Integer length = lua_Integer(lua_rawlen(L, index));
    std::size_t count = 0;
    bool stringKeys = false;
    lua_pushnil(L);
    while (lua_next(L, index)) {
        ++count;
        if (lua_type(L, -2) == LUA_TSTRING) {
            stringKeys = true;
        } else if (!lua_isinteger(L, -2) || lua_tointeger(L, -2) < 1 || lua_tointeger(L, -2) > length) {
            lua_pop(L, 2);
            throw ArgumentError("a table whose keys are neither a sequence nor strings cannot cross the bridge");
        }
        lua_pop(L, 1);
    }
    if (stringKeys && count != 0 && length != 0)
        throw ArgumentError("a table is an array or a dictionary, never both");
    if (stringKeys) {
        Dictionary dictionary;
        lua_pushnil(L);
        while (lua_next(L, index)) {
            size_t keyLength = 0;
            char const* key = lua_tolstring(L, -2, &keyLength);
            dictionary.emplace(std::string(key, keyLength), toValue(lua_gettop(L), depth + 1));
            lua_pop(L, 1);
        }
        return Value(std::move(dictionary));
    }
    if (std::size_t(length) != count)
        throw ArgumentError("an array with holes cannot cross the bridge (use objc.null)");
    Array array;
    array.reserve(count);
    for (lua_Integer i = 1; i <= length; ++i) {
        lua_rawgeti(L, index, i);
        array.push_back(toValue(lua_gettop(L), depth + 1));
        lua_pop(L, 1);
    }
    return Value(std::move(array));
}

ScriptClass& LuaHost::defineScriptClass(std::string const& name, Class const* superclass, int tableIndex)
{
    lua_State* L = state();
    tableIndex = lua_absindex(L, tableIndex);

    // The class table's metatable marks it as a class and falls back to the superclass.
    lua_newtable(L);
    lua_pushlstring(L, name.data(), name.size());
    lua_setfield(L, -2, kScriptClassField);
    lua_pushcfunction(L, guarded<l_scriptClassIndex>);
    lua_setfield(L, -2, "__index");
    lua_pushfstring(L, "class %s", name.c_str());
    lua_setfield(L, -2, "__name");
    lua_setmetatable(L, tableIndex);

    // The metatable its instances share, kept in the class table under a hidden key.
    lua_newtable(L);
    lua_pushlstring(L, name.data(), name.size());
    lua_setfield(L, -2, kScriptInstanceField);
    lua_pushvalue(L, tableIndex);
    lua_setfield(L, -2, "__index");
    lua_rawsetp(L, LUA_REGISTRYINDEX, lua_topointer(L, tableIndex));

    lua_pushvalue(L, tableIndex);
    int ref = luaL_ref(L, LUA_REGISTRYINDEX);
    auto cls = std::make_unique<ScriptClass>(name, superclass, *this, ref);
    ScriptClass& result = *cls;
    m_runtime.registerClass(std::move(cls));
    return result;
}

}
