// Costs of the settings stores at the sizes the Monitor uses: saving all
// registry values at once, loading them one by one, and reading and writing
// the light macro block file (5 x 141 keys of 4122 digits).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/profile_ini.h"
#include "platform/registry.h"

namespace {

namespace fs = std::filesystem;
using vyre::platform::Registry;

fs::path Scratch(const char* name) {
    fs::path dir = fs::temp_directory_path() / ("vyre-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir / name;
}

void WriteAllValues(Registry& reg) {
    std::uint8_t talk[765] = {};
    for (int p = 1; p <= 5; ++p) {
        std::string pf = "PF" + std::to_string(p);
        reg.WriteDword(pf + " Repeat Delay Time", 1);
        reg.WriteDword(pf + " Repeat Rate", 31);
        reg.WriteDword(pf + " SOUND", 2);
        reg.WriteDword(pf + " Player", 0);
        reg.WriteString(pf + " NAME", vyre::platform::RegType::MultiSz, u"Default");
        for (int e = 1; e <= 3; ++e) {
            reg.WriteString(pf + " EXEC" + std::to_string(e), vyre::platform::RegType::MultiSz,
                            u"");
        }
        reg.SetValue(pf + " TalkCommand", vyre::platform::RegType::Binary, talk, sizeof talk);
        for (int m = 0; m < 2; ++m) {
            for (int l = 0; l < 11; ++l) {
                reg.WriteDword(
                    pf + " KeyIllumination " + std::to_string(m) + "_" + std::to_string(l), 412);
            }
        }
    }
}

// SaveAllSettings: about 180 values in one batch, one rewrite.
void BM_RegistrySaveAllInOneBatch(benchmark::State& state) {
    fs::path file = Scratch("save.reg");
    Registry reg(file);
    for (auto _ : state) {
        Registry::Batch batch(reg);
        WriteAllValues(reg);
    }
    fs::remove_all(file.parent_path());
}
BENCHMARK(BM_RegistrySaveAllInOneBatch)->Unit(benchmark::kMillisecond);

// LoadSettings: every value read one by one from a fresh instance.
void BM_RegistryLoadAll(benchmark::State& state) {
    fs::path file = Scratch("load.reg");
    {
        Registry reg(file);
        Registry::Batch batch(reg);
        WriteAllValues(reg);
    }
    for (auto _ : state) {
        Registry reg(file);
        std::uint8_t buffer[1024];
        for (const auto& v : reg.Values()) {
            std::uint32_t size = sizeof buffer;
            reg.QueryValue(v.name, nullptr, buffer, &size);
        }
    }
    fs::remove_all(file.parent_path());
}
BENCHMARK(BM_RegistryLoadAll)->Unit(benchmark::kMillisecond);

void WriteBlocks(const fs::path& file) {
    const std::string digits(4122, '0');
    for (int p = 1; p <= 5; ++p) {
        for (int slot = 0; slot <= 140; ++slot) {
            vyre::platform::WritePrivateProfileString(
                "PF" + std::to_string(p), std::to_string(slot).c_str(), digits.c_str(), file);
        }
    }
}

void BM_ProfileWriteBlocksInOneBatch(benchmark::State& state) {
    fs::path file = Scratch("blocks.dat");
    for (auto _ : state) {
        vyre::platform::ProfileWriteBatch batch;
        WriteBlocks(file);
    }
    fs::remove_all(file.parent_path());
}
BENCHMARK(BM_ProfileWriteBlocksInOneBatch)->Unit(benchmark::kMillisecond);

// One block written alone into the full file (a whole rewrite of ~3 MB).
void BM_ProfileWriteOneBlock(benchmark::State& state) {
    fs::path file = Scratch("one.dat");
    {
        vyre::platform::ProfileWriteBatch batch;
        WriteBlocks(file);
    }
    std::string digits(4122, '1');
    int n = 0;
    for (auto _ : state) {
        digits[0] = static_cast<char>('0' + (n++ % 10));
        vyre::platform::WritePrivateProfileString("PF3", "70", digits.c_str(), file);
    }
    fs::remove_all(file.parent_path());
}
BENCHMARK(BM_ProfileWriteOneBlock)->Unit(benchmark::kMillisecond);

// Reading all 705 blocks key by key after another process rewrote the file.
void BM_ProfileReadBlocks(benchmark::State& state) {
    fs::path file = Scratch("read.dat");
    {
        vyre::platform::ProfileWriteBatch batch;
        WriteBlocks(file);
    }
    for (auto _ : state) {
        state.PauseTiming();
        vyre::platform::ProfileFile::Load(file).Save(file);  // a new file identity
        state.ResumeTiming();
        std::size_t total = 0;
        for (int p = 1; p <= 5; ++p) {
            for (int slot = 0; slot <= 140; ++slot) {
                total += vyre::platform::GetPrivateProfileString("PF" + std::to_string(p),
                                                                 std::to_string(slot), "", file)
                             .size();
            }
        }
        benchmark::DoNotOptimize(total);
    }
    fs::remove_all(file.parent_path());
}
BENCHMARK(BM_ProfileReadBlocks)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
