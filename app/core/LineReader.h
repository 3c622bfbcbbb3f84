// The desktops' command lines, read with the parser tirvelctl reads its own
// with, in the spellings the desktops have always taken: -h, --help and
// Windows' /? for help, -v and --version for the version, a value after its
// option or after "=" (also an empty one: "--firmware="). Options the
// program does not know, and stray words, are left for the caller to name.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

namespace app {

struct LineRead {
    enum class Outcome {
        Options,  // read: the values are in the options declared
        Help,
        Version,
        Unknown,  // an option the program does not know, a word, a switch given a value
        NoValue,  // an option at the end of the line without its value
    };
    Outcome outcome = Outcome::Options;
    std::string argument;  // Unknown, NoValue: as typed
};

class CLineReader {
public:
    CLineReader();

    // Declare the program's options here, then Read. An option given twice
    // keeps its last value unless declared otherwise.
    CLI::App& Options() { return line_; }

    LineRead Read(std::vector<std::string> arguments);

private:
    CLI::App line_;
};

// The value given to `option` last, also on a line refused further on.
std::optional<std::string> GivenValue(const CLI::Option& option);

}  // namespace app
