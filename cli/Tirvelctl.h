// tirvelctl's command line: options, checks made before any device is
// touched, and the subcommand run on the console host. Returns the exit code.
#pragma once

#include <optional>
#include <string_view>

#include "framework/Language.h"

namespace cli {

int RunTirvelctl(int argc, char** argv);

// The --lang given anywhere on the line, looked at before the full parse so
// that even a usage error speaks the chosen language.
std::optional<fw::Language> LanguageFromArguments(int argc, char** argv);

}  // namespace cli
