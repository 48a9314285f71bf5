// A collected list of paths: kept in blocks, taken in order, and the same to every consumer as an array of
// the same strings (Lua, property lists, descriptions, native arguments).

#include "core/Args.h"
#include "core/PathList.h"
#include "core/Value.h"
#include "lua/LuaValues.h"
#include "support/ScriptBundle.h"
#include "text/PropertyListFile.h"

#include <gtest/gtest.h>
#include <lua.hpp>
#include <memory>
#include <string>
#include <vector>

namespace quodrix {
namespace {

std::vector<std::string> taken(PathList& paths)
{
    std::vector<std::string> texts;
    paths.take([&](std::string_view text) { texts.emplace_back(text); });
    return texts;
}

// Texts of every length around a block's end, an empty one, one larger than a block, and bytes that a
// C string would cut short.
std::vector<std::string> oddTexts()
{
    std::vector<std::string> texts;
    for (int i = 0; i < 5000; ++i)
        texts.push_back("/photos/" + std::string(std::size_t(i % 97), 'a' + char(i % 26)) + "/" + std::to_string(i));
    texts.insert(texts.begin() + 17, "");
    texts.insert(texts.begin() + 1234, std::string(200 * 1024, 'x'));
    texts.push_back(std::string("nul\0inside", 10));
    texts.push_back("\xff\xfe not UTF-8");
    return texts;
}

TEST(PathList, KeepsEveryTextInOrderAcrossBlocks)
{
    auto const texts = oddTexts();
    PathList paths(texts);
    EXPECT_EQ(paths.size(), texts.size());
    EXPECT_EQ(paths.strings(), texts);

    std::vector<std::string> visited;
    paths.forEach([&](std::string_view text) { visited.emplace_back(text); });
    EXPECT_EQ(visited, texts);
    EXPECT_EQ(paths.size(), texts.size()) << "forEach leaves the list as it was";

    EXPECT_EQ(taken(paths), texts);
    EXPECT_TRUE(paths.empty());
    EXPECT_EQ(paths.size(), 0u);
    EXPECT_TRUE(taken(paths).empty());

    paths.add("again");
    EXPECT_EQ(paths.strings(), std::vector<std::string> { "again" });
}

TEST(PathList, ACopyIsItsOwnAndGrowsOnItsOwn)
{
    PathList first(oddTexts());
    PathList second = first;
    EXPECT_EQ(second, first);
    second.add("/one/more");
    first.add("/another");
    EXPECT_NE(second, first);
    auto expected = oddTexts();
    expected.push_back("/one/more");
    EXPECT_EQ(second.strings(), expected);
    taken(first);
    EXPECT_EQ(second.strings(), expected) << "taking one list leaves its copy whole";
}

TEST(PathList, ATakeThatThrowsLeavesTheListEmpty)
{
    PathList paths(oddTexts());
    std::size_t seen = 0;
    EXPECT_THROW(paths.take([&](std::string_view) {
        if (++seen == 3000)
            throw std::runtime_error("stop");
    }),
        std::runtime_error);
    EXPECT_TRUE(paths.empty());
    EXPECT_TRUE(paths.strings().empty());
}

TEST(PathList, AsAValueItIsAnArrayOfItsStrings)
{
    std::vector<std::string> const texts { "/a/b.jpg", "", "/c d/é.png" };
    Value list { PathList(texts) };
    Value array { texts };
    EXPECT_EQ(kindName(list.kind()), "array");
    EXPECT_EQ(list, array);
    EXPECT_EQ(array, list);
    EXPECT_NE(list, Value(Array { Value("/a/b.jpg"), Value(""), Value(3) }));
    EXPECT_NE(list, Value(Array { Value("/a/b.jpg"), Value("") }));
    EXPECT_EQ(list.description(), array.description());
    EXPECT_EQ(Value(PathList()).description(), Value(Array {}).description());

    std::vector<Value> const held { list };
    Args args(held);
    EXPECT_EQ(Value(args.array(0)), array);

    test::TempDir dir;
    std::string const path = (dir / "list.plist").string();
    ASSERT_TRUE(writePropertyListFile(path, Value(Dictionary { { "files", list } }), PropertyListFormat::Xml));
    EXPECT_EQ(readPropertyListFile(path), Value(Dictionary { { "files", array } }));
    EXPECT_FALSE(writePropertyListFile(path, Value(PathList({ std::string("a\0b", 3) })), PropertyListFormat::Xml))
        << "a text that a property list cannot hold refuses the whole list, as in an array";
}

TEST(PathList, LuaReceivesAPlainTableOfStringsWhetherTheValueIsKeptOrNot)
{
    std::unique_ptr<lua_State, decltype(&lua_close)> state(luaL_newstate(), &lua_close);
    lua_State* L = state.get();
    auto const texts = oddTexts();
    auto check = [&](char const* how) {
        ASSERT_EQ(lua_type(L, -1), LUA_TTABLE) << how;
        ASSERT_EQ(lua_rawlen(L, -1), texts.size()) << how;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            lua_rawgeti(L, -1, lua_Integer(i + 1));
            std::size_t length = 0;
            char const* text = lua_tolstring(L, -1, &length);
            ASSERT_EQ(std::string(text, length), texts[i]) << how << ", element " << i + 1;
            lua_pop(L, 1);
        }
        lua_pop(L, 1);
    };

    Value kept { PathList(texts) };
    lua::pushValue(L, kept);
    check("kept");
    EXPECT_EQ(kept, Value(texts)) << "pushing a kept value leaves it whole";

    lua::pushValue(L, Value(PathList(texts)));
    check("handed over");
    EXPECT_EQ(lua_gettop(L), 0);

    // Into Lua and back, it is an ordinary array.
    lua::pushValue(L, Value(PathList(texts)));
    EXPECT_EQ(lua::toValue(L, -1), Value(texts));
    lua_pop(L, 1);
}

}
}
