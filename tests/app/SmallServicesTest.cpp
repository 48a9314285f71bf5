// The small application services: localized strings from real compiled catalogs, the model and its
// controller, the pop-up colouring and the version fetch against a local HTTP server.

#include "app/NativeClasses.h"
#include "app/cAppUpdater.h"
#include "core/Runtime.h"
#include "platform/NSPopUpButton.h"
#include "platform/Platform.h"
#include "support/ScriptBundle.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

using namespace quodrix;
using namespace std::chrono_literals;

namespace {

// A one-thread HTTP server on 127.0.0.1 that answers every request with the same response, or never
// answers at all (an empty response).
class LocalServer {
public:
    explicit LocalServer(std::string response) : m_response(std::move(response))
    {
        m_socket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(m_socket, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(m_socket, 8) != 0
            || getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot listen on loopback");
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~LocalServer()
    {
        m_stop = true;
        m_thread.join();
        close(m_socket);
    }
    std::string url(std::string const& path = "/appVersion.txt") const
    {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }

private:
    bool waitReadable(int fd)
    {
        while (!m_stop) {
            pollfd p { fd, POLLIN, 0 };
            if (poll(&p, 1, 20) > 0)
                return true;
        }
        return false;
    }
    void serve()
    {
        while (waitReadable(m_socket)) {
            int client = accept(m_socket, nullptr, nullptr);
            if (client < 0)
                continue;
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos && waitReadable(client)) {
                ssize_t n = read(client, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                request.append(buffer, std::size_t(n));
            }
            if (m_response.empty()) {
                while (!m_stop)  // a server that never answers
                    std::this_thread::sleep_for(10ms);
            } else {
                (void)!write(client, m_response.data(), m_response.size());
            }
            close(client);
        }
    }

    std::string m_response;
    int m_socket = -1;
    int m_port = 0;
    std::atomic<bool> m_stop { false };
    std::thread m_thread;
};

std::string httpResponse(std::string const& status, std::string const& body)
{
    return "HTTP/1.1 " + status + "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size())
        + "\r\nConnection: close\r\n\r\n" + body;
}

class VersionFetch : public ::testing::Test {
protected:
    VersionFetch()
    {
        registerNativeClasses(runtime);
        runtime.platform().setVersionTimeout(500ms);
    }
    Value fetch(std::string const& url)
    {
        runtime.platform().setVersionUrl(url);
        return runtime.sendToClass("cAppUpdater", "getAppVersion");
    }
    Platform platform;
    Runtime runtime { platform };
};

}

TEST_F(VersionFetch, TheTextUnchanged)
{
    LocalServer server(httpResponse("200 OK", "  2.4.1\r\n"));
    EXPECT_EQ(fetch(server.url()), Value("  2.4.1\r\n"));
    LocalServer empty(httpResponse("200 OK", ""));
    EXPECT_EQ(fetch(empty.url()), Value(""));
    LocalServer accented(httpResponse("200 OK", "v3 \u00e9t\u00e9"));
    EXPECT_EQ(fetch(accented.url()), Value("v3 \u00e9t\u00e9"));
}

TEST_F(VersionFetch, NullWhenItCannotBeRead)
{
    LocalServer missing(httpResponse("404 Not Found", "no such file"));
    EXPECT_EQ(fetch(missing.url()), Value());
    LocalServer failing(httpResponse("500 Internal Server Error", "2.0"));
    EXPECT_EQ(fetch(failing.url()), Value());
    LocalServer binary(httpResponse("200 OK", std::string("2.0\xff\xfe", 5)));
    EXPECT_EQ(fetch(binary.url()), Value());
    LocalServer huge(httpResponse("200 OK", std::string(cAppUpdater::kMaxVersionText + 1, '9')));
    EXPECT_EQ(fetch(huge.url()), Value());
    std::string closed;  // the address of a server gone: nothing listens there
    {
        LocalServer gone(httpResponse("200 OK", "2.0"));
        closed = gone.url();
    }
    EXPECT_EQ(fetch(closed), Value());
    EXPECT_EQ(fetch(""), Value());
    EXPECT_EQ(fetch("file:///etc/hostname"), Value());  // only HTTP is read
    // A server that never answers: null after the timeout, without which this read would never end.
    LocalServer silent("");
    EXPECT_EQ(fetch(silent.url()), Value());
}

TEST(Messenger, StringsFromCompiledCatalogsInTheBundle)
{
    test::ScriptBundle bundle;
    auto messages = bundle.root() / "share/quodrix/locale/xx/LC_MESSAGES";
    std::filesystem::create_directories(messages);
    test::writeFile(messages / "Main.po",
        "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
        "msgid \"greeting\"\nmsgstr \"Gr\u00fc\u00dfe \u2014 hello\"\n\n"
        "msgid \"untranslated\"\nmsgstr \"\"\n");
    test::writeFile(messages / "Localizable.po",
        "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\nmsgid \"ok\"\nmsgstr \"Jawohl\"\n");
    for (char const* domain : { "Main", "Localizable" }) {
        auto po = (messages / (std::string(domain) + ".po")).string();
        auto mo = (messages / (std::string(domain) + ".mo")).string();
        ASSERT_EQ(test::runCommand("msgfmt -o '" + mo + "' '" + po + "'").status, 0);
    }
    bundle.addScript("50_test.lua", R"(
        local m = objc.Messenger:alloc():init()
        print(m:getLangStr___("greeting", "Hello", "Main"))
        print(m:getLangStr___("missing", "Fallback", "Main"))
        print(m:getLangStr___("untranslated", "Kept", "Main"))
        print(m:getLangStr___("greeting", "No table", "Nowhere"))
        print(m:getLangStr___("ok", "OK", nil), m:getLangStr___("ok", "OK", ""))
        print(m:getLangStr___("", "Empty key", "Main"), m:getLangStr___(nil, "Null key", "Main"))
        print(m:getLangStr___("greeting", "Outside", "../xx/LC_MESSAGES/Main"))
        print(m:getLangStr___("missing", nil, "Main"))
    )");
    auto r = bundle.run({}, { { "LANG", "C.UTF-8" }, { "LANGUAGE", "xx" } });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "Gr\u00fc\u00dfe \u2014 hello\nFallback\nKept\nNo table\nJawohl\tJawohl\nEmpty key\tNull key\nOutside\nnil\n");

    // Another language has no catalog: every key gives the default.
    auto other = bundle.run({}, { { "LANG", "C.UTF-8" }, { "LANGUAGE", "yy" } });
    EXPECT_EQ(other.out, "Hello\nFallback\nKept\nNo table\nOK\tOK\nEmpty key\tNull key\nOutside\nnil\n");
}

TEST(ModelAndController, PropertiesByMessageAndByKey)
{
    test::ScriptBundle bundle;
    auto r = bundle.runScript(R"(
        local model = objc.MyModel:new()
        print(model:floatValue())
        model:setFloatValue_(2.5)
        print(model:floatValue(), model:valueForKey_("floatValue"))
        model:setValue_forKey_(7, "floatValue")
        print(model:floatValue())
        local ctl = objc.MyObjectControler:new()
        print(ctl:myModelObj(), ctl:className(), ctl:respondsToSelector_("setContent:"))
        ctl:setMyModelObj_(model)
        print(ctl:myModelObj() == model, ctl:myModelObj():floatValue())
        model = nil
        collectgarbage()
        print(ctl:myModelObj():floatValue())
        ctl:setValue_forKey_(objc.null, "myModelObj")
        print(ctl:valueForKey_("myModelObj"))
        print(pcall(function() ctl:setMyModelObj_(objc.NSTextField:new()) end))
        print(pcall(function() objc.MyModel:new():setValue_forKey_("x", "floatValue") end))
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "0.0\n2.5\t2.5\n7.0\nnil\tMyObjectControler\ttrue\ntrue\t7.0\n7.0\nnil\n"
        "false\t-[MyObjectControler setMyModelObj:]: myModelObj must be a MyModel\n"
        "false\t-[MyModel setValue:forKey:]: floatValue must be a number\n");
}

TEST(PopUpAppearance, GreenOverTheWholeTitleAndALogLine)
{
    Platform platform;
    Runtime runtime { platform };
    registerNativeClasses(runtime);
    auto appearance = runtime.instantiate("ocPopUpBtnAppearance");
    auto popup = runtime.instantiate<NSPopUpButton>("NSPopUpButton");
    popup->addItemWithTitle("Strip");
    popup->setTitleAttributes({ { "NSFont", Value("Helvetica") } });
    runtime.send(Value(appearance), "setValue:forKey:", { Value(popup), "puBtnStrip" });

    testing::internal::CaptureStderr();
    runtime.send(Value(appearance), "hSetNSPopUpBtnColor");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "hSetNSPopUpBtnColor entered\n");
    EXPECT_EQ(Value(popup->titleAttributes()),
        Value(Dictionary { { "NSFont", Value("Helvetica") },
            { "NSForegroundColorAttributeName", Value(Array { 0.0, 1.0, 0.0, 1.0 }) } }));

    // Without a connected button there is only the log line.
    auto lone = runtime.instantiate("ocPopUpBtnAppearance");
    testing::internal::CaptureStderr();
    runtime.send(Value(lone), "hSetNSPopUpBtnColor");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "hSetNSPopUpBtnColor entered\n");
}
