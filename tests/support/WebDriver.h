// Debian's Chromium, headless, driven through chromedriver over the W3C
// WebDriver protocol: for the tests of tirvel-line's page in a real browser.
// chromedriver is a process of the object's own, killed with it; the browser
// has a profile of its own in a scratch directory.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "HttpClient.h"
#include "TempDir.h"

namespace testsupport {

class WebDriver {
public:
    struct Element {
        std::string id;
    };

    // Why there can be no browser here; empty when there can.
    static std::string Unavailable();

    // language: a BCP 47 tag ("en-US", "zh-CN") for --lang and the
    // languages the browser asks pages for. Throws std::runtime_error when the
    // browser does not start.
    explicit WebDriver(const std::string& language = "en-US");
    ~WebDriver();
    WebDriver(const WebDriver&) = delete;
    WebDriver& operator=(const WebDriver&) = delete;

    void Navigate(const std::string& url);
    std::string Url();

    // Nothing when no element matches.
    std::optional<Element> Find(const std::string& css);
    std::vector<Element> FindAll(const std::string& css);
    // The element, waited for; throws with the page's text when none came.
    Element Get(const std::string& css);
    void Click(const Element& element);
    void Click(const std::string& css) { Click(Get(css)); }
    void Clear(const Element& element);
    // Says OK to the page's confirm() or alert().
    void AcceptAlert();
    // Types into the element as keys would (it is not cleared first).
    void Type(const Element& element, const std::string& text);
    void Type(const std::string& css, const std::string& text) { Type(Get(css), text); }
    // The rendered text, as a user sees it.
    std::string Text(const Element& element);
    std::optional<std::string> Attribute(const Element& element, const std::string& name);

    // A function body run in the page, given args as arguments[...].
    nlohmann::json Execute(const std::string& script,
                           const nlohmann::json& args = nlohmann::json::array());
    // The text of the first element matching css (document.querySelector),
    // nothing for none: read in one step, so a redrawn list is never stale.
    std::optional<std::string> TextOf(const std::string& css);
    // What the page shows, for failure messages.
    std::string PageText();

    // Polls condition until it holds; a failure names what was waited for and
    // gives the page's text. For ASSERT_TRUE.
    ::testing::AssertionResult WaitUntil(const std::function<bool()>& condition,
                                         const std::string& what,
                                         std::chrono::milliseconds timeout = DefaultTimeout());
    // Until the element matching css exists and its text contains text.
    ::testing::AssertionResult WaitForText(const std::string& css, const std::string& text,
                                           std::chrono::milliseconds timeout = DefaultTimeout());

    // A cookie of the page's site, HttpOnly ones too; nothing for none.
    std::optional<std::string> Cookie(const std::string& name);

    // The window's outer size; a screenshot is of what it shows.
    void SetWindowSize(int width, int height);
    void Screenshot(const std::filesystem::path& png);

    // Long enough for a loaded machine; a wait ends as soon as it holds.
    static std::chrono::milliseconds DefaultTimeout() { return std::chrono::seconds(20); }

private:
    nlohmann::json Call(const std::string& method, const std::string& path,
                        const nlohmann::json& body = nullptr);
    std::string Session() const { return "/session/" + session_; }

    TempDir scratch_;
    std::unique_ptr<ChildProcess> driver_;
    std::unique_ptr<HttpClient> http_;
    std::string session_;
};

}  // namespace testsupport
