// The string operations as the runtime sends them: "any" arguments in their text form, and arguments of
// the wrong kind answered with a result, never with an error (one wrong kind of each operation is in
// StringHandlingScriptTest.cpp, through a script).

#include "app/NativeClasses.h"
#include "core/Runtime.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace quodrix;

namespace {

class StringHandlingArguments : public ::testing::Test {
protected:
    StringHandlingArguments()
    {
        registerNativeClasses(runtime);
        instance = runtime.instantiate("cNSStringHandling");
    }
    Value send(std::string_view selector, Array const& args) { return runtime.send(Value(instance), selector, args); }

    Platform platform;

    Runtime runtime { platform };
    ObjectRef instance;
};

struct Row {
    char const* selector;
    Array args;
    Value expected;
};

MutableString mutableString(std::string text)
{
    return MutableString { std::make_shared<std::string>(std::move(text)) };
}

}

TEST_F(StringHandlingArguments, AnyArgumentIsTakenInItsTextForm)
{
    std::vector<Row> const rows = {
        { "hChangeCaseFiles::", { "two words", 3 }, "Two Words" },
        { "hChangeCaseFiles::", { "two words", "3" }, "Two Words" },
        { "hChangeCaseFiles::", { "two words", 3.0 }, "Two Words" },
        { "hChangeCaseFiles::", { "two words", 3.5 }, "two words" },
        { "hChangeCaseFiles::", { "two words", Null {} }, "two words" },
        { "hChangeCaseFiles::", { 42, 1 }, "42" },
        { "hSplitString::", { 1203, 0 }, Value(std::vector<std::string> { "12", "3" }) },
        { "hSplitString::", { Null {}, "l" }, Value(std::vector<std::string> { "(nu", "", ")" }) },
        { "hReplaceStringInString:::", { "a1a", 1, 2 }, "a2a" },
        { "hReplaceStringInString:::", { "a b", " ", Null {} }, "a(null)b" },
        { "hRemoveNonLetters::", { "x_1", "NA" }, "x1" },
        { "hStripString:::", { "photo.jpg", "fRight", 4 }, "photo" },
        { "hStripString:::", { "photo.jpg", "fRight", "4" }, "photo" },
        { "hStripString:::", { "photo.jpg", "fRight", 4.9 }, "photo" },
        { "hSubsectionString:::", { "photo.jpg", " 6", "3" }, "jpg" },
        // A mutable string serves wherever a string is read.
        { "hStringEndWith::", { mutableString("photo.jpg"), ".jpg" }, "YES" },
    };
    for (auto const& row : rows)
        EXPECT_EQ(send(row.selector, row.args), row.expected) << row.selector << " " << Value(row.args).description();
}

TEST_F(StringHandlingArguments, WrongKindsGiveResultsNotErrors)
{
    std::vector<Row> const rows = {
        { "hInsertStringInString:::", { "abc", "X", 0 }, "abc" },  // an immutable string stays as it is
        { "hInsertStringInString:::", { Null {}, "X", 0 }, Null {} },
        { "hStripString:::", { Null {}, "fRight", 1 }, Null {} },
        { "hStripString:::", { "abc", "fRight", Null {} }, "abc" },
        { "hStripString:::", { "abc", "fRight", "1x" }, "abc" },
        { "hStripString:::", { "abc", "fRight", NAN }, "abc" },
        { "hSubsectionString:::", { "abc", 1, "inf" }, "abc" },
        { "hSubsectionString:::", { Data { "abc" }, 0, 1 }, Null {} },
        { "hNSDateToNSString:", { 1700000000 }, Null {} },
        { "hNSDateToNSString:", { Date { NAN } }, Null {} },
        { "hNSDataToNSString:", { "abc" }, "abc" },  // a string's bytes serve as data
        { "hNSStringToNSData:", { Data { "abc" } }, Null {} },
        { "hConcatString:::", { 1, "b", "c" }, Null {} },
        { "hStringContainsString::", { "a", Null {} }, "NO" },
        { "hStringEndWith::", { Null {}, "" }, "NO" },
        { "hConvertNSdToNSstr:", { "Man" }, "TWFu" },
        { "hConvertNSstrToNSd:", { Data { "TWFu" } }, Null {} },
    };
    for (auto const& row : rows) {
        Value result;
        EXPECT_NO_THROW(result = send(row.selector, row.args)) << row.selector;
        EXPECT_EQ(result, row.expected) << row.selector << " " << Value(row.args).description();
    }
}

TEST_F(StringHandlingArguments, InsertChangesTheCallersMutableString)
{
    MutableString target = mutableString("abc");
    EXPECT_EQ(send("hInsertStringInString:::", { target, 7, 1 }), "a7bc");
    EXPECT_EQ(*target.text, "a7bc");
    EXPECT_EQ(send("hInsertStringInString:::", { target, Null {}, 0 }), "(null)a7bc");
    EXPECT_EQ(send("hInsertStringInString:::", { target, "X", "2" }), "(nXull)a7bc");
    // Out of range, or a position that is no number: nothing changes.
    for (Value position : { Value(12), Value(-1), Value(Null {}), Value("two"), Value(INFINITY) }) {
        EXPECT_EQ(send("hInsertStringInString:::", { target, "Z", position }), "(nXull)a7bc");
        EXPECT_EQ(*target.text, "(nXull)a7bc");
    }
    EXPECT_EQ(send("hInsertStringInString:::", { target, "!", 11 }), "(nXull)a7bc!");
}
