// Reading a warm data file line by line into LineBuf, recoding from code page 866.

#include "scan/ScanCSV.h"
#include "scan/TextFile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>

namespace {

using namespace venqor;

constexpr std::size_t FileBytes = 64u << 20;
constexpr std::size_t LineBytes = 230; // CR LF included

// A record line of 228 characters in code page 866: marker, number, names in Cyrillic,
// dates, addresses with digits and blanks.
std::string recordLine(std::mt19937& random)
{
    std::uniform_int_distribution<int> upper(0x80, 0x9F), lower(0xA0, 0xAF), lower2(0xE0, 0xEF),
        digit('0', '9');
    std::string line = "\x8E";
    for (int i = 0; i < 11; ++i)
        line += static_cast<char>(digit(random));
    while (line.size() < LineBytes - 2) {
        line += static_cast<char>(upper(random));
        for (int i = 0; i < 9 && line.size() < LineBytes - 2; ++i)
            line += static_cast<char>(i % 3 == 2 ? lower2(random) : lower(random));
        if (line.size() < LineBytes - 2)
            line += ' ';
    }
    return line + "\r\n";
}

class DataFile {
public:
    DataFile()
        : path_((std::filesystem::temp_directory_path()
            / ("venqor-read-bench-" + std::to_string(::getpid()) + ".txt"))
                    .string())
    {
        std::mt19937 random(866);
        std::ofstream out(path_, std::ios::binary);
        std::string block;
        for (int i = 0; i < 1000; ++i)
            block += recordLine(random);
        for (std::size_t written = 0; written < FileBytes; written += block.size())
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        out.close();
        size_ = std::filesystem::file_size(path_);
    }
    ~DataFile() { std::remove(path_.c_str()); }

    const std::string& path() const { return path_; }
    std::size_t size() const { return size_; }

private:
    std::string path_;
    std::size_t size_ = 0;
};

std::size_t readAll(const std::string& path)
{
    InTextFile file(path);
    std::size_t lines = 0;
    while (!file.Eof()) {
        ReadLineBuf(file);
        ++lines;
    }
    return lines;
}

void BM_ReadLineBuf(benchmark::State& state)
{
    static const DataFile data;
    Scan.Reset();
    Scan.Options.RecodeOem = true;
    Scan.Options.LfEndsLine = state.range(0) != 0;
    readAll(data.path()); // warm the page cache
    for (auto _ : state)
        benchmark::DoNotOptimize(readAll(data.path()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_ReadLineBuf)->ArgName("LfEndsLine")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
