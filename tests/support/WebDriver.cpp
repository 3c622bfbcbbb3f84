#include "WebDriver.h"

#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <thread>

#include "FreePort.h"

namespace testsupport {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using nlohmann::json;

constexpr const char* kChromedriver = "/usr/bin/chromedriver";
constexpr const char* kChromium = "/usr/bin/chromium";
// The W3C name of an element reference in answers.
constexpr const char* kElementKey = "element-6066-11e4-a52e-4f735466cecf";

std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Base64Decode(const std::string& text) {
    auto value = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') {
            return c - 'A';
        }
        if (c >= 'a' && c <= 'z') {
            return c - 'a' + 26;
        }
        if (c >= '0' && c <= '9') {
            return c - '0' + 52;
        }
        if (c == '+') {
            return 62;
        }
        if (c == '/') {
            return 63;
        }
        return -1;
    };
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (const char c : text) {
        const int v = value(c);
        if (v < 0) {
            continue;  // padding, line breaks
        }
        bits = (bits << 6) | static_cast<unsigned>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xff);
        }
    }
    return out;
}

}  // namespace

std::string WebDriver::Unavailable() {
    for (const char* program : {kChromedriver, kChromium}) {
        if (::access(program, X_OK) != 0) {
            return std::string(program) + " is not installed (Debian: chromium-driver, chromium)";
        }
    }
    return {};
}

WebDriver::WebDriver(const std::string& language) {
    const std::uint16_t port = FreeLoopbackPort();
    driver_ = std::make_unique<ChildProcess>(
        kChromedriver, std::vector<std::string>{"--port=" + std::to_string(port)},
        scratch_.Path() / "chromedriver.out", scratch_.Path() / "chromedriver.err");
    http_ = std::make_unique<HttpClient>("127.0.0.1", port, 60s);

    const auto deadline = Clock::now() + 30s;
    for (;;) {
        try {
            if (http_->Get("/status").status == 200) {
                break;
            }
        } catch (const std::runtime_error&) {
            // Not listening yet.
        }
        if (!driver_->Running() || Clock::now() > deadline) {
            throw std::runtime_error("WebDriver: chromedriver did not start: " +
                                     FileText(scratch_.Path() / "chromedriver.err") +
                                     FileText(scratch_.Path() / "chromedriver.out"));
        }
        std::this_thread::sleep_for(50ms);
    }

    const json capabilities = {
        {"browserName", "chrome"},
        {"goog:chromeOptions",
         {{"binary", kChromium},
          {"args",
           {"--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
            "--window-size=1400,1000", "--lang=" + language, "--no-first-run",
            "--user-data-dir=" + (scratch_.Path() / "profile").string()}},
          {"prefs", {{"intl.accept_languages", language}}}}}};
    const json answer =
        Call("POST", "/session", {{"capabilities", {{"alwaysMatch", capabilities}}}});
    session_ = answer.at("sessionId").get<std::string>();
    Call("POST", Session() + "/timeouts", {{"script", 30000}, {"pageLoad", 60000}});
}

WebDriver::~WebDriver() {
    if (!session_.empty()) {
        try {
            Call("DELETE", Session());
        } catch (const std::exception&) {
            // chromedriver is stopped below, and its browser with it.
        }
    }
    // Asked to end, chromedriver ends its browsers; killed, it would leave them.
    driver_->Signal(SIGTERM);
    driver_->Wait(10s);
}

json WebDriver::Call(const std::string& method, const std::string& path, const json& body) {
    HttpRequest request{method, path, {}, {}};
    if (!body.is_null()) {
        request.headers.Add("Content-Type", "application/json; charset=utf-8");
        request.body = body.dump();
    }
    const HttpResponse response = http_->Send(request);
    json answer = json::parse(response.body, nullptr, false);
    if (answer.is_discarded()) {
        throw std::runtime_error("WebDriver: " + method + " " + path +
                                 ": not JSON: " + response.body);
    }
    json value = answer.contains("value") ? answer["value"] : json();
    if (response.status != 200) {
        const std::string error = value.is_object() ? value.value("error", "") : "";
        const std::string message = value.is_object() ? value.value("message", "") : "";
        throw std::runtime_error("WebDriver: " + method + " " + path + ": " + error + ": " +
                                 message.substr(0, message.find('\n')));
    }
    return value;
}

void WebDriver::Navigate(const std::string& url) {
    Call("POST", Session() + "/url", {{"url", url}});
}

std::string WebDriver::Url() {
    return Call("GET", Session() + "/url").get<std::string>();
}

std::optional<WebDriver::Element> WebDriver::Find(const std::string& css) {
    auto found = FindAll(css);
    if (found.empty()) {
        return std::nullopt;
    }
    return found.front();
}

std::vector<WebDriver::Element> WebDriver::FindAll(const std::string& css) {
    const json answer =
        Call("POST", Session() + "/elements", {{"using", "css selector"}, {"value", css}});
    std::vector<Element> elements;
    for (const auto& element : answer) {
        elements.push_back({element.at(kElementKey).get<std::string>()});
    }
    return elements;
}

WebDriver::Element WebDriver::Get(const std::string& css) {
    std::optional<Element> element;
    if (!WaitUntil([&] { return (element = Find(css)).has_value(); }, "an element " + css)) {
        throw std::runtime_error("WebDriver: no element " + css + " on the page: " + PageText());
    }
    return *element;
}

void WebDriver::Click(const Element& element) {
    Call("POST", Session() + "/element/" + element.id + "/click", json::object());
}

void WebDriver::AcceptAlert() {
    Call("POST", Session() + "/alert/accept", json::object());
}

void WebDriver::Clear(const Element& element) {
    Call("POST", Session() + "/element/" + element.id + "/clear", json::object());
}

void WebDriver::Type(const Element& element, const std::string& text) {
    Call("POST", Session() + "/element/" + element.id + "/value", {{"text", text}});
}

std::string WebDriver::Text(const Element& element) {
    return Call("GET", Session() + "/element/" + element.id + "/text").get<std::string>();
}

std::optional<std::string> WebDriver::Attribute(const Element& element, const std::string& name) {
    const json value = Call("GET", Session() + "/element/" + element.id + "/attribute/" + name);
    if (value.is_null()) {
        return std::nullopt;
    }
    return value.get<std::string>();
}

json WebDriver::Execute(const std::string& script, const json& args) {
    return Call("POST", Session() + "/execute/sync", {{"script", script}, {"args", args}});
}

std::optional<std::string> WebDriver::TextOf(const std::string& css) {
    const json text = Execute(
        "const found = document.querySelector(arguments[0]);"
        "return found ? found.innerText : null;",
        {css});
    if (text.is_null()) {
        return std::nullopt;
    }
    return text.get<std::string>();
}

std::string WebDriver::PageText() {
    try {
        const json text = Execute("return document.body ? document.body.innerText : '';");
        return text.is_string() ? text.get<std::string>() : text.dump();
    } catch (const std::exception& error) {
        return std::string("(the page's text could not be read: ") + error.what() + ")";
    }
}

::testing::AssertionResult WebDriver::WaitUntil(const std::function<bool()>& condition,
                                                const std::string& what,
                                                std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    std::string lastError;
    for (;;) {
        try {
            if (condition()) {
                return ::testing::AssertionSuccess();
            }
        } catch (const std::runtime_error& error) {
            // A page between two loads has nothing to ask yet.
            lastError = error.what();
        }
        if (Clock::now() > deadline) {
            break;
        }
        std::this_thread::sleep_for(50ms);
    }
    auto failure = ::testing::AssertionFailure();
    failure << "waited " << timeout.count() << " ms for " << what << " in vain";
    if (!lastError.empty()) {
        failure << " (last error: " << lastError << ")";
    }
    failure << "; the page (" << Url() << ") shows:\n" << PageText();
    return failure;
}

::testing::AssertionResult WebDriver::WaitForText(const std::string& css, const std::string& text,
                                                  std::chrono::milliseconds timeout) {
    std::optional<std::string> seen;
    auto result = WaitUntil(
        [&] {
            seen = TextOf(css);
            return seen && seen->find(text) != std::string::npos;
        },
        "\"" + text + "\" in " + css, timeout);
    if (!result) {
        result << "\n" << css << " shows: " << (seen ? "\"" + *seen + "\"" : "(no such element)");
    }
    return result;
}

std::optional<std::string> WebDriver::Cookie(const std::string& name) {
    try {
        return Call("GET", Session() + "/cookie/" + name).at("value").get<std::string>();
    } catch (const std::runtime_error&) {
        return std::nullopt;  // no such cookie
    }
}

void WebDriver::SetWindowSize(int width, int height) {
    Call("POST", Session() + "/window/rect", {{"width", width}, {"height", height}});
}

void WebDriver::Screenshot(const std::filesystem::path& png) {
    const std::string bytes =
        Base64Decode(Call("GET", Session() + "/screenshot").get<std::string>());
    std::ofstream out(png, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) {
        throw std::runtime_error("WebDriver: cannot write " + png.string());
    }
}

}  // namespace testsupport
