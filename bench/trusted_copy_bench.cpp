// Times what the trusted copy adds to an Update: the monitor read from
// system32, its SHA-256, and the copy below %ProgramData% (the folders'
// check, the temporary file, the move), on the simulated machine. The
// simulated FlushFileBuffers and write-through move don't reach the disk,
// so the second figure adds the host's fsync of the copy and its folder,
// which they stand for.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "engine/sha256.h"
#include "engine/trusted_copy.h"
#include "platform/handles.h"
#include "platform/sim/sim_machine.h"

namespace {

constexpr char kInstalled[] = "C:\\windows\\system32\\qvrmon.dll";
constexpr char kCopy[] = "C:\\ProgramData\\QVR\\Driver Setup\\Backup\\qvrmon.dll";

void Sync(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY);
  if (fd >= 0) ::fsync(fd), ::close(fd);
}

void TrustedCopyOfMonitor(benchmark::State& state, bool flushToDisk) {
  sim::SimMachine machine;
  machine.PutFile(kInstalled, std::string(static_cast<size_t>(state.range(0)), 'm'));
  platform::Platform p = machine.platform();
  for (auto _ : state) {
    std::string bytes;
    platform::FileHandle in(*p.files,
                            p.files->CreateFileA(kInstalled, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!ReadWholeFile(*p.files, *p.error, in.get(), bytes) ||
        MakeTrustedCopy(p, kCopy, bytes) != TrustedCopy::Made)
      state.SkipWithError("no trusted copy");
    benchmark::DoNotOptimize(Sha256Hex(bytes.data(), bytes.size()));
    if (flushToDisk) {
      Sync(machine.HostPath(kCopy).string());
      Sync(machine.HostPath(kCopy).parent_path().string());
    }
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_TrustedCopy(benchmark::State& state) { TrustedCopyOfMonitor(state, false); }
void BM_TrustedCopyFlushedToDisk(benchmark::State& state) { TrustedCopyOfMonitor(state, true); }

// A monitor of 64 KiB, 256 KiB and 1 MiB.
BENCHMARK(BM_TrustedCopy)
    ->Arg(64 << 10)
    ->Arg(256 << 10)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrustedCopyFlushedToDisk)
    ->Arg(64 << 10)
    ->Arg(256 << 10)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
