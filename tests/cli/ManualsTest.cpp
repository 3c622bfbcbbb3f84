// The manual pages and the bash completion are written by hand, so they drift
// from the option parser unless something compares them: every long option and
// subcommand the binaries' --help prints must be in the manual source, and the
// completion script must offer them.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Output {
    int status = -1;
    std::string out;
};

Output Capture(const std::string& command) {
    Output r;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return r;
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        r.out.append(buffer.data(), n);
    r.status = ::pclose(pipe);
    return r;
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The long options of the option column: lines whose first word is an option,
// so that an option named in prose (a subcommand's description) does not count.
std::set<std::string> LongOptions(const std::string& help) {
    std::set<std::string> found;
    static const std::regex option("--[a-z][a-z0-9-]*");
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        if (line.find_first_not_of(' ') == std::string::npos ||
            line[line.find_first_not_of(' ')] != '-')
            continue;
        for (std::sregex_iterator it(line.begin(), line.end(), option), end; it != end; ++it)
            found.insert(it->str());
    }
    return found;
}

// The subcommand names listed under "Subcommands:" in the top-level help.
std::vector<std::string> Subcommands(const std::string& help) {
    std::vector<std::string> names;
    std::istringstream lines(help.substr(help.find("Subcommands:")));
    std::string line;
    std::getline(lines, line);
    static const std::regex entry("^  ([a-z]+) .*");
    std::smatch m;
    while (std::getline(lines, line) && std::regex_match(line, m, entry))
        names.push_back(m[1]);
    return names;
}

// Whole-word presence: "--version" must not be satisfied by "--version-text".
bool Mentions(const std::string& text, const std::string& word) {
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        size_t after = at + word.size();
        if (after == text.size() ||
            !(std::isalnum(static_cast<unsigned char>(text[after])) || text[after] == '-'))
            return true;
    }
    return false;
}

const std::string kSource = TIRVEL_SOURCE_DIR;
const std::string kTirvelctl = TIRVELCTL_PATH;

// The source of a program's manual page; the case fails where there is none.
std::string ManualPage(const std::string& program) {
    const std::string page = ReadFile(kSource + "/docs/man/" + program + ".1.scd");
    EXPECT_FALSE(page.empty()) << program;
    return page;
}

// What a program, or one of its subcommands, prints for --help; the case
// fails where it does not exit 0.
std::string Help(const std::string& path, const std::string& sub = "") {
    const Output help = Capture(Quote(path) + (sub.empty() ? "" : " " + sub) + " --help");
    EXPECT_EQ(help.status, 0) << sub;
    return help.out;
}

TEST(Manuals, EveryTirvelctlOptionAndSubcommandIsInTheManual) {
    const std::string page = ManualPage("tirvelctl");
    const std::string top = Help(kTirvelctl);
    const auto subs = Subcommands(top);
    ASSERT_GE(subs.size(), 10u) << top;
    for (const auto& option : LongOptions(top))
        EXPECT_TRUE(Mentions(page, option)) << option;
    for (const auto& sub : subs) {
        EXPECT_TRUE(Mentions(page, "*" + sub + "*")) << "subcommand " << sub;
        for (const auto& option : LongOptions(Help(kTirvelctl, sub)))
            EXPECT_TRUE(Mentions(page, option)) << sub << " " << option;
    }
}

TEST(Manuals, EveryKavrelSimOptionIsInTheManual) {
    const std::string page = ManualPage("kavrel-sim");
    const auto options = LongOptions(Help(KAVREL_SIM_PATH));
    ASSERT_GE(options.size(), 20u);
    for (const auto& option : options)
        EXPECT_TRUE(Mentions(page, option)) << option;
}

TEST(Manuals, EveryTirvelLineOptionAndCommandIsInTheManual) {
    const std::string page = ManualPage("tirvel-line");
    const std::string top = Help(TIRVEL_LINE_PATH);
    const auto subs = Subcommands(top);
    ASSERT_EQ(subs.size(), 2u) << top;
    for (const auto& option : LongOptions(top))
        EXPECT_TRUE(Mentions(page, option)) << option;
    for (const auto& sub : subs) {
        const std::string help = Help(TIRVEL_LINE_PATH, sub);
        for (const auto& command : Subcommands(help)) {
            EXPECT_TRUE(Mentions(page, "*" + sub + " " + command + "*")) << sub << " " << command;
            for (const auto& option : LongOptions(Help(TIRVEL_LINE_PATH, sub + " " + command)))
                EXPECT_TRUE(Mentions(page, option)) << sub << " " << command << " " << option;
        }
    }
}

TEST(Manuals, KavrelSimReportsTheProjectVersion) {
    Output version = Capture(Quote(KAVREL_SIM_PATH) + " --version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out,
              "kavrel-sim " + Capture(Quote(kTirvelctl) + " --version").out.substr(10));
}

class Completion : public ::testing::Test {
protected:
    void SetUp() override {
        if (Capture("command -v bash >/dev/null 2>&1").status != 0)
            GTEST_SKIP() << "no bash";
    }
    // What the script offers for the command line `words`, the last word being
    // the one under the cursor.
    static std::set<std::string> Complete(const std::vector<std::string>& words) {
        std::string array;
        for (const auto& w : words)
            array += Quote(w) + " ";
        const std::string script = "source " + Quote(kSource + "/cli/completion/tirvelctl.bash") +
                                   " && COMP_WORDS=(" + array +
                                   ") && COMP_CWORD=" + std::to_string(words.size() - 1) +
                                   " && _tirvelctl && printf '%s\\n' \"${COMPREPLY[@]}\"";
        Output r = Capture("bash --norc --noprofile -c " + Quote(script));
        EXPECT_EQ(r.status, 0);
        std::set<std::string> offered;
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);)
            if (!line.empty())
                offered.insert(line);
        return offered;
    }
};

TEST_F(Completion, CompletesSubcommandsAndGlobalOptions) {
    EXPECT_EQ(Complete({"tirvelctl", "ba"}), std::set<std::string>{"batch"});
    EXPECT_EQ(Complete({"tirvelctl", "--la"}), std::set<std::string>{"--lang"});
    EXPECT_EQ(Complete({"tirvelctl", "--lang", ""}), (std::set<std::string>{"en", "zh"}));
    // A value of --port is not taken for the subcommand.
    EXPECT_EQ(Complete({"tirvelctl", "-p", "3", "log", "--se"}),
              std::set<std::string>{"--seconds"});
}

TEST_F(Completion, OffersWhatTheBinaryAccepts) {
    const std::string top = Help(kTirvelctl);
    const auto offeredSubs = Complete({"tirvelctl", ""});
    for (const auto& sub : Subcommands(top)) {
        EXPECT_TRUE(offeredSubs.count(sub)) << sub;
        const auto offered = Complete({"tirvelctl", sub, "--"});
        for (const auto& option : LongOptions(Help(kTirvelctl, sub)))
            if (option != "--help") {
                EXPECT_TRUE(offered.count(option)) << sub << " " << option;
            }
    }
    for (const auto& option : LongOptions(top))
        EXPECT_TRUE(Complete({"tirvelctl", "--"}).count(option)) << option;
}

TEST_F(Completion, CompletesFileArguments) {
    const std::string dir = kSource + "/cli/completion/";
    EXPECT_EQ(Complete({"tirvelctl", "apply", dir + "tirvelctl.ba"}),
              std::set<std::string>{dir + "tirvelctl.bash"});
    EXPECT_EQ(Complete({"tirvelctl", "batch", "x", "--report", dir + "tirvelctl.ba"}),
              std::set<std::string>{dir + "tirvelctl.bash"});
    // read takes no FILE: nothing to offer.
    EXPECT_TRUE(Complete({"tirvelctl", "read", dir + "tirvelctl.ba"}).empty());
}

}  // namespace
