// What the suites that drive a Windows desktop program under Wine share: the
// checks that say why a case cannot run here, the language Wine is started
// in, and tirvel-driver.exe run on a script in this case's folder.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <filesystem>
#include <string>

#include "ChildProcess.h"
#include "ProgramStateTest.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TextSearch.h"
#include "WineSetup.h"
#include "framework/StringTable.h"

namespace winedriver {

namespace fs = std::filesystem;

// A path of this machine as a Windows program under Wine names it.
inline std::string WindowsPath(const fs::path& path) {
    std::string text = "Z:" + path.string();
    for (char& c : text) {
        if (c == '/') {
            c = '\\';
        }
    }
    return text;
}

// A message's text as the driver matches it: its first line that has words
// (some messages start with a line break).
inline std::string BoxText(fw::UINT id, fw::Language language) {
    for (const std::string& line : testsupport::Lines(fw::LoadString(id, language))) {
        if (!line.empty()) {
            return line;
        }
    }
    return {};
}

struct DriverRun {
    int exit;
    std::string out;
    std::string err;
};

class WineDriverTest : public testsupport::ProgramStateTest {
protected:
    static bool Skip(const std::string& reason) {
        [&] { GTEST_SKIP() << reason; }();
        return false;
    }

    // False, with the reason, where program (beside tirvel-driver.exe) cannot
    // be run here in the language given.
    bool UseWine(const std::string& program, fw::Language language) {
        setup_ = testsupport::WineFromEnvironment();
        const fs::path& bin = setup_.bin;
        if (bin.empty() || !fs::exists(bin / program) || !fs::exists(bin / "tirvel-driver.exe")) {
            return Skip("no Windows desktop build: TIRVEL_WINDOWS_BIN must name the folder with " +
                        program + " and tirvel-driver.exe (the windows preset's bin/)");
        }
        if (const auto missing = testsupport::WineMissing(setup_)) {
            return Skip(*missing);
        }
        if (testsupport::EnvOr("DISPLAY").empty()) {
            return Skip("no display: " + program + " needs one under Wine (DISPLAY is not set)");
        }
        // Wine takes its UI language from the process's locale, which must exist.
        if (language == fw::Language::Chinese &&
            std::setlocale(LC_MESSAGES, "zh_CN.UTF-8") == nullptr) {
            return Skip(
                "the locale zh_CN.UTF-8 is not installed (localedef -i zh_CN -f UTF-8 "
                "zh_CN.UTF-8)");
        }
        std::setlocale(LC_MESSAGES, "C");
        language_ = language;
        SetEnv("WINEDEBUG", "-all");
        SetEnv("LC_ALL", std::nullopt);
        SetEnv("LANGUAGE", std::nullopt);
        SetEnv("LANG", language == fw::Language::Chinese ? "zh_CN.UTF-8" : "en_US.UTF-8");
        return true;
    }

    std::string Box(fw::UINT id, int seconds = 60) const {
        return "box " + BoxText(id, language_) + " " + std::to_string(seconds) + "\n";
    }

    DriverRun Drive(const std::string& script,
                    std::chrono::seconds timeout = std::chrono::seconds(240)) {
        const fs::path file = dir_.Path() / ("script" + std::to_string(++runs_) + ".txt");
        testsupport::WriteFile(file, script);
        const fs::path out = dir_.Path() / ("driver" + std::to_string(runs_) + ".out");
        const fs::path err = dir_.Path() / ("driver" + std::to_string(runs_) + ".err");
        testsupport::ChildProcess driver(
            setup_.wine, {(setup_.bin / "tirvel-driver.exe").string(), WindowsPath(file)}, out,
            err);
        const int code = driver.Wait(timeout);
        // Wine's console writes text lines with CR LF.
        std::string lines = testsupport::ReadFile(out);
        std::erase(lines, '\r');
        return {code, lines, testsupport::ReadFile(err)};
    }

    // The program ended by itself with exit code 0 ("wait-exit" of the driver).
    static bool ExitedCleanly(const DriverRun& r) {
        return testsupport::Contains(r.out, "exit=0\n");
    }

    testsupport::TempDir dir_;
    testsupport::WineSetup setup_;
    fw::Language language_ = fw::Language::English;
    int runs_ = 0;
};

}  // namespace winedriver
