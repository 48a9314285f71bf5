#include "rename/QDFileProperty.h"

#include "core/Class.h"

#include <sys/stat.h>
#include <sys/xattr.h>

#include <array>
#include <cerrno>

namespace quodrix {

static constexpr char const* kDelegateKey = "delQDFileProperty";
static constexpr int kHighestLabel = 7;

// The label held in the attribute's bytes: a decimal number from 0 to 7, else 0.
static int labelFromText(std::string_view text)
{
    if (text.size() == 2 && text[1] == '\n')
        text.remove_suffix(1);
    if (text.size() != 1 || text[0] < '0' || text[0] > '0' + kHighestLabel)
        return 0;
    return text[0] - '0';
}

std::string QDFileProperty::fileLabel(std::string const& path)
{
    struct stat info;
    if (path.empty() || path.find('\0') != std::string::npos || lstat(path.c_str(), &info) != 0)
        return kNone;
    std::array<char, 64> buffer {};
    ssize_t n = lgetxattr(path.c_str(), kLabelAttribute, buffer.data(), buffer.size());
    if (n >= 0)
        return std::to_string(labelFromText(std::string_view(buffer.data(), std::size_t(n))));
    switch (errno) {
    case ENODATA:   // no label
    case ENOTSUP:   // a file system without extended attributes
    case ERANGE:    // longer than any label
        return "0";
    default:
        return kNone;
    }
}

std::string QDFileProperty::qdGetFileLabel(Runtime& runtime, std::string const& path)
{
    bool namesItem = !path.empty() && path.find('\0') == std::string::npos;
    Value url = namesItem ? Value(Url::fromPath(path)) : Value();
    runtime.send(field("pathControl"), "setURL:", { url });
    return fileLabel(path);
}

std::vector<std::string> QDFileProperty::hGetFileNameProps(std::string const& path)
{
    std::string_view rest(path);
    while (rest.size() > 1 && rest.back() == '/')
        rest.remove_suffix(1);
    std::size_t slash = rest.size() > 1 ? rest.rfind('/') : std::string_view::npos;
    std::string name(slash == std::string_view::npos ? rest : rest.substr(slash + 1));
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || name == "." || name == ".." || name == "/")
        return { name, "", name };
    return { name, name.substr(dot + 1), name.substr(0, dot) };
}

void QDFileProperty::setValueForKey(std::string const& key, Value value)
{
    if (key != kDelegateKey)
        return Object::setValueForKey(key, std::move(value));
    ObjectRef delegate = value.kind() == Kind::Object ? value.asObject() : nullptr;
    m_delegate = delegate;
    // A script object's wrapper lives only as long as someone holds it; it cannot hold this object back.
    m_scriptDelegate = delegate && delegate->isTransientProxy() ? delegate : nullptr;
}

Value QDFileProperty::valueForKey(std::string const& key) const
{
    return key == kDelegateKey ? Value(m_delegate.lock()) : Object::valueForKey(key);
}

void QDFileProperty::registerClass(Runtime& runtime)
{
    ClassBuilder<QDFileProperty>(runtime, "QDFileProperty")
        .method("qdGetFileLabel:", [](Call const& c) {
            // A path that is not a text names no item; the control is cleared and the answer is "none".
            auto path = c.args[0].text();
            return Value(c.self<QDFileProperty>().qdGetFileLabel(c.runtime, path.value_or(std::string())));
        })
        .method("hGetFileNameProps:", [](Call const& c) { return Value(hGetFileNameProps(c.args.string(0))); });
}

}
