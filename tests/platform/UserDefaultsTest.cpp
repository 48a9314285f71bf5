// The user's settings file: written when a setting changes, left as it is when none did, and written again
// when the file no longer holds what was read or written last.

#include "platform/UserDefaults.h"
#include "support/ScriptBundle.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

using namespace quodrix;
using namespace quodrix::test;

namespace {

// The settings of a temporary config folder, for the life of the object.
class ConfigHome {
public:
    ConfigHome()
    {
        if (char const* previous = std::getenv("XDG_CONFIG_HOME"))
            m_previous = previous;
        setenv("XDG_CONFIG_HOME", m_dir.str().c_str(), 1);
    }
    ~ConfigHome()
    {
        if (m_previous)
            setenv("XDG_CONFIG_HOME", m_previous->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }
    std::string file() const { return (m_dir / "quodrix/defaults.plist").string(); }

private:
    TempDir m_dir;
    std::optional<std::string> m_previous;
};

}

TEST(UserDefaults, AValueThatMayChangeInPlaceIsWrittenWhenSetAgain)
{
    ConfigHome home;
    UserDefaults defaults;
    auto text = std::make_shared<std::string>("first");
    defaults.setObjectForKey(Value(Array { Value(MutableString { text }) }), "k");
    ASSERT_TRUE(defaults.synchronize().ok());
    EXPECT_NE(readFile(home.file()).find("<string>first</string>"), std::string::npos);

    // The same mutable string, changed in place, compares equal to what is stored.
    *text = "second";
    defaults.setObjectForKey(Value(Array { Value(MutableString { text }) }), "k");
    ASSERT_TRUE(defaults.synchronize().ok());
    EXPECT_NE(readFile(home.file()).find("<string>second</string>"), std::string::npos) << readFile(home.file());
}

TEST(UserDefaults, ASettingSetToWhatItIsLeavesTheFileUnlessTheFileChanged)
{
    ConfigHome home;
    {
        UserDefaults defaults;
        defaults.setObjectForKey(Value(Array { Value(std::string("a")), Value(std::string("b")) }), "k");
        ASSERT_TRUE(defaults.synchronize().ok());
    }
    std::string const written = readFile(home.file());
    UserDefaults later;
    later.setObjectForKey(Value(Array { Value(std::string("a")), Value(std::string("b")) }), "k");
    // A file put in place of the one read, with the same bytes, is not written over.
    writeFile(home.file(), written);
    struct stat before {};
    ASSERT_EQ(::stat(home.file().c_str(), &before), 0);
    ASSERT_TRUE(later.synchronize().ok());
    struct stat after {};
    ASSERT_EQ(::stat(home.file().c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);

    // Another process's settings, written between the read and the synchronize, are written over.
    writeFile(home.file(), "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict/></plist>");
    ASSERT_TRUE(later.synchronize().ok());
    EXPECT_EQ(readFile(home.file()), written);
}
