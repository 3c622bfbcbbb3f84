#include <iostream>
#include <string>
#include <vector>

#include "framework/Language.h"
#include "line/LineProgram.h"

int main(int argc, char** argv) {
    fw::SetLanguage(fw::LanguageFromEnvironment());
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return line::RunLineProgram(arguments, std::cin, std::cout, std::cerr);
}
