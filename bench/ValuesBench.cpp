// The values table at scale: a table of ROWS rows (IMEI and three columns of
// typical device values) written to a file, then read, checked whole and
// indexed by job::ReadValues as a batch and each station worker reads it:
// each run's time, the parse alone, the peak resident memory of the first
// read, what stays resident while the file's bytes and the table are held,
// and a Find's cost, of rows there and of IMEIs not there.
//
//   values_bench [ROWS [RUNS [LOOKUPS [TEXT]]]]   (default 1000000 5 1000000 ascii)
//
// TEXT: ascii, every byte below 0x80 (the common table); cp1252, each APN
// ending in "é" as Windows-1252 has it, so that the whole table goes through
// the code page's check; utf8, the same "é" in UTF-8 after a byte-order mark,
// as a spreadsheet saves "CSV UTF-8", so that it is converted.
//
// The file goes to the temporary folder and is removed at the end; it is in
// the page cache for every run.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Percentiles.h"
#include "job/JobFiles.h"
#include "job/ValuesTable.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Row i's IMEI: 15 digits, each row's its own, in no order (a multiplier
// prime to 10^13 over the serial part), as a line's devices come.
std::uint64_t ImeiOf(std::uint64_t i) {
    constexpr std::uint64_t kSerials = 10'000'000'000'000ULL;
    return 350000000000000ULL + (i * 7919 + 12345) % kSerials;
}

enum class Text { Ascii, Cp1252, Utf8 };

// Row i's cells after the IMEI: an APN of about 20 bytes (one row in a
// hundred quoted, with a comma), a number, a value with a pattern.
std::string CellsOf(std::uint64_t i, Text text) {
    std::string apn = "apn" + std::to_string(i % 50) + ".line7.example";
    if (text != Text::Ascii) {
        apn += text == Text::Cp1252 ? "\xE9" : "\xC3\xA9";
    }
    if (i % 100 == 0) {
        apn = "\"apn, line " + std::to_string(i % 50) + "\"";
    }
    return apn + "," + std::to_string(1000 + i % 9000) + ",reg-{imei:-4}";
}

std::string ValueOf(std::uint64_t i) {
    return std::to_string(1000 + i % 9000);
}

// Written a block at a time, so that making the file holds little memory.
std::uintmax_t WriteTable(const std::string& path, std::uint64_t rows, Text text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::string block = text == Text::Utf8 ? "\xEF\xBB\xBF" : "";
    block += "IMEI,2. APN,28,14\n";
    for (std::uint64_t i = 0; i < rows; ++i) {
        block += std::to_string(ImeiOf(i));
        block += ',';
        block += CellsOf(i, text);
        block += '\n';
        if (block.size() > (1 << 20)) {
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
            block.clear();
        }
    }
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + path);
    }
    return std::filesystem::file_size(path);
}

double PeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024;  // KiB on Linux
}

double ResidentMiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) /
           (1024.0 * 1024.0);
}

// One read as a job's is: the file's bytes, kept, and the table.
struct Read {
    std::string bytes;
    std::optional<job::ValuesTable> table;
};

void ReadInto(const std::string& path, Read& read) {
    const std::string refusal =
        job::ReadValues(path, "values.csv", fw::Language::English, read.bytes, read.table);
    if (!refusal.empty()) {
        throw std::runtime_error("refused: " + refusal);
    }
}

// Every LOOKUPS-th row found by its IMEI and its cell checked, so that the
// figure is never of a table read wrong; then IMEIs that have no row.
void TimeLookups(const job::ValuesTable& table, std::uint64_t rows, std::uint64_t lookups) {
    std::vector<std::string> imeis;
    std::vector<std::uint64_t> wanted;
    imeis.reserve(lookups);
    // A stride prime to the row count: every row once when lookups == rows.
    for (std::uint64_t k = 0; k < lookups; ++k) {
        const std::uint64_t i = (k * 1000003) % rows;
        imeis.push_back(std::to_string(ImeiOf(i)));
        wanted.push_back(i);
    }
    std::size_t wrong = 0;
    auto start = Clock::now();
    for (std::uint64_t k = 0; k < lookups; ++k) {
        const auto row = table.Find(imeis[k]);
        if (!row || row->Value(1) != ValueOf(wanted[k]) ||
            row->line != static_cast<std::size_t>(wanted[k] + 2)) {
            ++wrong;
        }
    }
    const double found = MillisecondsSince(start);
    // Not there: IMEIs of the same TAC beyond the table's serials.
    for (std::uint64_t k = 0; k < lookups; ++k) {
        imeis[k] = std::to_string(359000000000000ULL + k);
    }
    start = Clock::now();
    for (std::uint64_t k = 0; k < lookups; ++k) {
        if (table.Find(imeis[k])) {
            ++wrong;
        }
    }
    const double missed = MillisecondsSince(start);
    std::printf("  Find, %llu rows there: %.0f ns a lookup (%.1f million/s)\n",
                static_cast<unsigned long long>(lookups), found * 1e6 / double(lookups),
                double(lookups) / found / 1000);
    std::printf("  Find, %llu IMEIs not there: %.0f ns a lookup\n",
                static_cast<unsigned long long>(lookups), missed * 1e6 / double(lookups));
    if (wrong != 0) {
        throw std::runtime_error(std::to_string(wrong) + " lookups found the wrong row");
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t rows = argc > 1 ? std::stoull(argv[1]) : 1000000;
    const int runs = argc > 2 ? std::stoi(argv[2]) : 5;
    const std::uint64_t lookups = argc > 3 ? std::stoull(argv[3]) : 1000000;
    const std::string textName = argc > 4 ? argv[4] : "ascii";
    const Text text = textName == "cp1252" ? Text::Cp1252
                      : textName == "utf8" ? Text::Utf8
                                           : Text::Ascii;
    if (text == Text::Ascii && textName != "ascii") {
        std::fprintf(stderr, "values_bench: TEXT is ascii, cp1252 or utf8\n");
        return 2;
    }
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("tirvel-values-bench-" + std::to_string(getpid()) + ".csv"))
                                 .string();
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    try {
        auto start = Clock::now();
        const std::uintmax_t size = WriteTable(path, rows, text);
        std::printf("table: %llu rows, 3 columns, %.1f MiB, %s (written in %.2f s)\n",
                    static_cast<unsigned long long>(rows), double(size) / (1024.0 * 1024.0),
                    textName.c_str(), MillisecondsSince(start) / 1000);
        const double before = PeakMiB();
        std::vector<double> times;
        std::vector<double> parses;
        double peak = 0;
        double held = 0;
        for (int run = 0; run < runs; ++run) {
            Read read;
            start = Clock::now();
            ReadInto(path, read);
            times.push_back(MillisecondsSince(start));
            if (run == 0) {
                peak = PeakMiB();
                held = ResidentMiB();
                if (read.table->RowCount() != rows) {
                    throw std::runtime_error("the table has " +
                                             std::to_string(read.table->RowCount()) + " rows");
                }
            }
            // The parse alone, of the bytes already in memory, the table read
            // before it gone: one table at a time, as a process holds it.
            read.table.reset();
            start = Clock::now();
            const auto parsed =
                job::ParseValuesTable(read.bytes, "values.csv", fw::Language::English);
            parses.push_back(MillisecondsSince(start));
        }
        std::printf("  ReadValues (read, checked whole, indexed), %d runs: %s ms\n", runs,
                    bench::MedianRange(times, 0).c_str());
        std::printf("  ParseValuesTable of the bytes in memory, %d runs: %s ms\n", runs,
                    bench::MedianRange(parses, 0).c_str());
        std::printf("  peak resident: %.0f MiB before the first read, %.0f MiB after it\n", before,
                    peak);
        std::printf("  resident while the bytes and the table are held: %.0f MiB\n", held);
        std::printf("  peak resident over all runs: %.0f MiB\n", PeakMiB());
        Read read;
        ReadInto(path, read);
        TimeLookups(*read.table, rows, lookups);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "values_bench: %s\n", error.what());
        std::filesystem::remove(path);
        return 1;
    }
    std::filesystem::remove(path);
    return 0;
}
