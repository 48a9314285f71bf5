#include "lua/CompiledScript.h"

#include "fs/AtomicFile.h"

#include <lua5.4/lua.hpp>

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

namespace quodrix {

namespace {

// The first line names the format and the release of Lua that made the bytecode, whose own header names only
// its version (5.4).
constexpr std::string_view kMagic = "quodrix compiled script 1, " LUA_RELEASE "\n";
constexpr std::size_t kNumbers = 4;
constexpr std::size_t kHeaderSize = kMagic.size() + kNumbers * 8;

// A checksum over 64-bit little-endian words (the last one padded with zero bytes), each word mixed in with
// a multiplication and a rotation as xxHash's rounds do, so that every bit of the input reaches every bit of
// the sum and no two flipped bits cancel out; eight bytes a step over the hundred kilobytes a start checks.
constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;

std::uint64_t mixed(std::uint64_t sum, std::uint64_t word)
{
    sum ^= std::rotl(word * kPrime2, 31) * kPrime1;
    return std::rotl(sum, 27) * kPrime1 + 0x85EBCA77C2B2AE63ull;
}

std::uint64_t wordSum(std::string_view bytes, std::uint64_t sum)
{
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes.data() + i, 8);
        if constexpr (std::endian::native == std::endian::big)
            word = __builtin_bswap64(word);
        sum = mixed(sum, word);
    }
    std::uint64_t last = 0;
    for (std::size_t k = 0; i + k < bytes.size(); ++k)
        last |= std::uint64_t(static_cast<unsigned char>(bytes[i + k])) << (8 * k);
    // The length goes in too, so that zero bytes at the end are not the same as none.
    return mixed(mixed(sum, last), bytes.size());
}

std::uint64_t checksum(std::string_view chunkName, std::string_view source, std::string_view bytecode)
{
    std::uint64_t sum = wordSum(bytecode, wordSum(source, wordSum(chunkName, kPrime2)));
    // The last steps spread every bit over the whole sum.
    sum ^= sum >> 33;
    sum *= kPrime2;
    sum ^= sum >> 29;
    return sum;
}

void appendNumber(std::string& out, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        out += char((value >> (8 * i)) & 0xff);
}

std::uint64_t numberAt(std::string_view bytes, std::size_t offset)
{
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + std::size_t(i)]);
    return value;
}

int appendChunk(lua_State*, void const* data, std::size_t size, void* out)
{
    static_cast<std::string*>(out)->append(static_cast<char const*>(data), size);
    return 0;
}

}

bool CompiledScript::isLeftToTheLoader(std::string_view source)
{
    // The host's loader passes over a first line that begins with "#" and a byte-order mark.
    return source.starts_with('#') || source.starts_with("\xEF\xBB\xBF");
}

std::filesystem::path CompiledScript::folderFor(std::filesystem::path const& scriptsFolder)
{
    return scriptsFolder.parent_path() / "Compiled";
}

std::optional<std::string> CompiledScript::compile(std::string_view chunkName, std::string_view source,
    std::string& error)
{
    if (isLeftToTheLoader(source)) {
        error = "begins with a \"#\" line or a byte-order mark";
        return std::nullopt;
    }
    std::unique_ptr<lua_State, void (*)(lua_State*)> state(luaL_newstate(), lua_close);
    if (!state) {
        error = "cannot create a Lua state";
        return std::nullopt;
    }
    lua_State* L = state.get();
    std::string const name(chunkName);
    if (luaL_loadbufferx(L, source.data(), source.size(), name.c_str(), "t") != LUA_OK) {
        char const* message = lua_tostring(L, -1);
        error = message ? message : "cannot parse";
        return std::nullopt;
    }
    std::string bytecode;
    if (lua_dump(L, appendChunk, &bytecode, 0) != 0 || bytecode.empty()) {
        error = "cannot dump the bytecode";
        return std::nullopt;
    }
    return bytecode;
}

std::string CompiledScript::encode(std::string_view chunkName, std::string_view source, std::string_view bytecode)
{
    std::string file;
    file.reserve(kHeaderSize + chunkName.size() + source.size() + bytecode.size());
    file += kMagic;
    appendNumber(file, chunkName.size());
    appendNumber(file, source.size());
    appendNumber(file, bytecode.size());
    appendNumber(file, checksum(chunkName, source, bytecode));
    file += chunkName;
    file += source;
    file += bytecode;
    return file;
}

std::optional<std::string_view> CompiledScript::bytecodeFor(std::string_view file, std::string_view chunkName,
    std::string_view source)
{
    if (file.size() < kHeaderSize || file.substr(0, kMagic.size()) != kMagic)
        return std::nullopt;
    std::uint64_t const nameSize = numberAt(file, kMagic.size());
    std::uint64_t const sourceSize = numberAt(file, kMagic.size() + 8);
    std::uint64_t const codeSize = numberAt(file, kMagic.size() + 16);
    std::uint64_t const sum = numberAt(file, kMagic.size() + 24);
    // Each size is checked against what is left, so that no sum of sizes can wrap around.
    std::size_t rest = file.size() - kHeaderSize;
    if (nameSize != chunkName.size() || sourceSize != source.size() || nameSize > rest || sourceSize > rest - nameSize
        || codeSize != rest - nameSize - sourceSize || codeSize == 0)
        return std::nullopt;
    std::string_view const storedName = file.substr(kHeaderSize, nameSize);
    std::string_view const storedSource = file.substr(kHeaderSize + nameSize, sourceSize);
    std::string_view const bytecode = file.substr(kHeaderSize + nameSize + sourceSize);
    if (storedName != chunkName || storedSource != source || checksum(storedName, storedSource, bytecode) != sum)
        return std::nullopt;
    return bytecode;
}

bool CompiledScript::load(lua_State* L, std::filesystem::path const& script,
    std::filesystem::path const& compiledFolder)
{
    std::filesystem::path compiledPath = compiledFolder / script.filename();
    compiledPath.replace_extension(".luac");
    // Opened without waiting, only a regular file read: a named pipe in the bundle cannot hold a start.
    auto const file = readWholeFile(compiledPath.string());
    if (!file)
        return false;
    auto const source = readWholeFile(script.string());
    if (!source)
        return false;
    std::string const chunkName = "@" + script.string();
    auto const bytecode = bytecodeFor(*file, chunkName, *source);
    if (!bytecode)
        return false;
    // A Lua of another build refuses the bytecode by its header; the script is parsed then.
    if (luaL_loadbufferx(L, bytecode->data(), bytecode->size(), chunkName.c_str(), "b") != LUA_OK) {
        lua_pop(L, 1);
        return false;
    }
    return true;
}

}
