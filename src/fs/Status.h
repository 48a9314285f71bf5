#pragma once
// Status: the outcome of a file-system operation, as a value that must be looked at.
//
// A success carries nothing. A failure carries the system error number (0 when the operation refused on
// its own account, such as "would replace an existing item") and a message that says what failed and
// why, ready to be shown to a person: "rename /a/x.jpg to /b/x.jpg: No such file or directory".

#include <cerrno>
#include <string>

namespace quodrix {

class [[nodiscard]] Status {
public:
    Status() = default;
    static Status success() { return {}; }
    // A failure of a system call: `what` names the step; the current errno gives the reason.
    static Status fromErrno(std::string const& what) { return fromError(errno, what); }
    static Status fromError(int error, std::string const& what);
    // A refusal that no system call reported.
    static Status refused(std::string message) { return Status(0, std::move(message)); }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    int error() const { return m_error; }
    std::string const& message() const { return m_message; }

    // The same failure with more context in front: "copy /a to /b: " + message.
    Status within(std::string const& context) const;
    // The same failure with the path `stand` (a temporary item that stood in for `path` and is gone)
    // named as `path`, also where it begins a longer path.
    Status naming(std::string const& stand, std::string const& path) const;

private:
    Status(int error, std::string message) : m_failed(true), m_error(error), m_message(std::move(message)) { }
    bool m_failed = false;
    int m_error = 0;
    std::string m_message;
};

}
