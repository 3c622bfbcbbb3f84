#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "cli/ProcessStart.h"
#include "common/Utf16Win32.h"

namespace cli {

void PrepareProcess(int& argc, char**& argv) {
    // Messages and tables are UTF-8, Chinese included; so is what is typed.
    ::SetConsoleOutputCP(CP_UTF8);
    ::SetConsoleCP(CP_UTF8);
    // The arguments as the system keeps them, made UTF-8 as every path and
    // text inside is: the ANSI argv turns a file name outside the code page
    // (a Chinese folder on an English system) into question marks.
    int count = 0;
    if (LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
        static std::vector<std::string> utf8;
        static std::vector<char*> pointers;
        for (int i = 0; i < count; ++i) {
            utf8.push_back(ToUtf8(words[i]));
        }
        ::LocalFree(words);
        for (std::string& word : utf8) {
            pointers.push_back(word.data());
        }
        pointers.push_back(nullptr);
        argc = count;
        argv = pointers.data();
    }
}

}  // namespace cli
