#pragma once
// Value: one value that crosses the script bridge.
//
// The kinds are those of the bridge contract: null, boolean, integer, float, string (UTF-8), data (raw
// bytes), date (seconds since 1970), URL (its absolute text), array, dictionary, mutable string (shared,
// changed in place) and object (a native or script instance, or a class). A path list is an array of
// strings held compactly (see PathList), for results of hundreds of thousands of paths: scripts receive it
// as an array, and a native receiver that asks for an array gets one.

#include "core/PathList.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quodrix {

class Object;
class Class;
class Value;

struct Null {
    bool operator==(Null const&) const = default;
};
struct Data {
    std::string bytes;
    bool operator==(Data const&) const = default;
};
struct Date {
    double secondsSince1970 = 0;
    bool operator==(Date const&) const = default;
    static Date now();
};
struct Url {
    std::string text;  // the absolute URL text, for example "file:///tmp/a%20b.jpg"
    bool operator==(Url const&) const = default;

    static Url fromPath(std::string const& path);  // a file URL; relative paths are made absolute
    bool isFile() const;
    std::optional<std::string> path() const;  // the file-system path of a file URL
};
struct MutableString {
    std::shared_ptr<std::string> text;
    bool operator==(MutableString const& other) const { return text == other.text; }
};
struct ClassRef {
    Class const* cls = nullptr;
    bool operator==(ClassRef const&) const = default;
};
using ObjectRef = std::shared_ptr<Object>;
using Array = std::vector<Value>;
using Dictionary = std::map<std::string, Value>;

enum class Kind { Null, Bool, Integer, Float, String, Data, Date, Url, Array, Dictionary, MutableString, Object, Class,
    PathList };

std::string_view kindName(Kind);

class Value {
public:
    Value() = default;
    Value(Null) { }
    Value(std::nullopt_t) { }
    Value(bool b) : m_v(b) { }
    Value(int i) : m_v(std::int64_t(i)) { }
    Value(long i) : m_v(std::int64_t(i)) { }
    Value(long long i) : m_v(std::int64_t(i)) { }
    Value(unsigned i) : m_v(std::int64_t(i)) { }
    Value(unsigned long i) : m_v(std::int64_t(i)) { }
    Value(double d) : m_v(d) { }
    Value(char const* s) : m_v(std::string(s)) { }
    Value(std::string s) : m_v(std::move(s)) { }
    Value(std::string_view s) : m_v(std::string(s)) { }
    Value(Data d) : m_v(std::move(d)) { }
    Value(Date d) : m_v(d) { }
    Value(Url u) : m_v(std::move(u)) { }
    Value(Array a) : m_v(std::move(a)) { }
    Value(Dictionary d) : m_v(std::move(d)) { }
    Value(MutableString s) : m_v(std::move(s)) { }
    Value(ClassRef c) : m_v(c) { }
    Value(PathList paths) : m_v(std::move(paths)) { }
    template<typename T>
    Value(std::shared_ptr<T> o) : m_v(ObjectRef(std::move(o))) { }
    template<typename T>
    Value(std::optional<T> o) { if (o) *this = Value(std::move(*o)); }
    Value(std::vector<std::string> const& strings);

    Kind kind() const { return Kind(m_v.index()); }
    bool isNull() const { return kind() == Kind::Null; }
    bool isString() const { return kind() == Kind::String; }
    bool isNumber() const { return kind() == Kind::Integer || kind() == Kind::Float || kind() == Kind::Bool; }

    bool asBool() const { return std::get<bool>(m_v); }
    std::int64_t asInteger() const { return std::get<std::int64_t>(m_v); }
    double asFloat() const { return std::get<double>(m_v); }
    std::string const& asString() const { return std::get<std::string>(m_v); }
    Data const& asData() const { return std::get<Data>(m_v); }
    Date const& asDate() const { return std::get<Date>(m_v); }
    Url const& asUrl() const { return std::get<Url>(m_v); }
    Array const& asArray() const { return std::get<Array>(m_v); }
    Array& asArray() { return std::get<Array>(m_v); }
    Dictionary const& asDictionary() const { return std::get<Dictionary>(m_v); }
    Dictionary& asDictionary() { return std::get<Dictionary>(m_v); }
    MutableString const& asMutableString() const { return std::get<MutableString>(m_v); }
    ObjectRef const& asObject() const { return std::get<ObjectRef>(m_v); }
    ClassRef asClass() const { return std::get<ClassRef>(m_v); }
    PathList const& asPathList() const { return std::get<PathList>(m_v); }
    PathList& asPathList() { return std::get<PathList>(m_v); }

    // A number as a double (booleans count 0 and 1); nullopt for other kinds.
    std::optional<double> number() const;
    // A number as a whole number, rounded toward zero and clamped to the 64-bit range (NaN gives 0);
    // nullopt for other kinds.
    std::optional<std::int64_t> integer() const;
    // A string or a mutable string's text; nullopt for other kinds.
    std::optional<std::string> text() const;
    // The text form of "%@" formatting: a string is itself, a number its decimal text, null "(null)".
    std::string description() const;

    bool operator==(Value const& other) const;

private:
    std::variant<Null, bool, std::int64_t, double, std::string, Data, Date, Url, Array, Dictionary, MutableString,
        ObjectRef, ClassRef, PathList>
        m_v;
};

}
