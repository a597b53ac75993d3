// Times the INF reader on generated INFs of growing size, on the simulated
// machine, and checks that reading grows linearly with the number of models.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "framework/headless/headless.h"
#include "platform/sim/sim_machine.h"
#include "ui/setup_dlg.h"

namespace {

std::string GenerateInf(int models) {
  std::string inf =
      "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n"
      "DriverVer=05/14/2024,2.3.0.1\r\n[Manufacturer]\r\n%QVR%=QVR\r\n[QVR]\r\n";
  std::string sections;
  for (int i = 0; i < models; ++i) {
    std::string n = std::to_string(i);
    inf += "\"QVR " + n + "\" = INST" + n + ", LPTENUM\\Kalbrix_ABQVR" + n + ", QVR " + n + "\r\n";
    sections += "[INST" + n + "]\r\nDataSection=DATA" + std::to_string(i % 50) + "\r\n";
  }
  for (int i = 0; i < 50; ++i)
    sections += "[DATA" + std::to_string(i) + "]\r\nLanguageMonitor=\"QVR Monitor,qvrmon" +
                std::to_string(i) + ".dll\"\r\n";
  return inf + sections + "[Strings]\r\nQVR=\"QVR\"\r\n";
}

struct Bench {
  sim::SimMachine machine;
  headless::Session session;
  CWinApp app;
  Bench() {
    machine.MakeDirectory("C:\\pkg");
    machine.SetCurrentDirectory("C:\\pkg");
  }

  // Times one read of the package's INF per iteration, in a dialog whose
  // lists were emptied first. Returns how many models the last read listed;
  // `machine.calls` then holds its seam calls.
  int TimeReads(benchmark::State& state) {
    int listed = 0;
    for (auto _ : state) {
      CSetupDlg dialog(machine.platform());
      session.user = [&](CDialog& d) {
        state.PauseTiming();
        auto& dlg = static_cast<CSetupDlg&>(d);
        dlg.m_lbModels.SendMessage(LB_RESETCONTENT);
        dlg.m_lbMonitors.SendMessage(LB_RESETCONTENT);
        machine.calls.clear();
        state.ResumeTiming();
        dlg.ReadInf("setup.inf", &dlg.m_lbModels);
        listed = dlg.m_lbModels.GetCount();
      };
      dialog.DoModal();
    }
    return listed;
  }
};

void BM_ReadInf(benchmark::State& state) {
  Bench bench;
  int models = static_cast<int>(state.range(0));
  bench.machine.PutFile("C:\\pkg\\setup.inf", GenerateInf(models));
  int listed = bench.TimeReads(state);
  if (listed != models) state.SkipWithError("not every model was listed");
  state.counters["per_model"] = benchmark::Counter(
      static_cast<double>(models),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReadInf)->Arg(100)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

// The shape of a real package: a decorated Manufacturer line, 600 models
// over 10 install sections, each section holding its model's monitor.
std::string GeneratePackageInf() {
  std::string inf =
      "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n"
      "DriverVer=05/14/2024,2.3.0.1\r\n[Manufacturer]\r\nQVR=QVR,NTx86,NTamd64\r\n";
  for (const char* platform : {"NTx86", "NTamd64"}) {
    inf += std::string("[QVR.") + platform + "]\r\n";
    for (int i = 0; i < 600; ++i) {
      std::string n = std::to_string(i);
      inf += "\"QVR " + n + "\" = QVR_INST" + std::to_string(i % 10) + ", LPTENUM\\Kalbrix_ABQVR" +
             n + ", QVR " + n + "\r\n";
    }
  }
  for (int i = 0; i < 10; ++i)
    inf += "[QVR_INST" + std::to_string(i) + "]\r\nLanguageMonitor=\"QVR Monitor,qvrmon" +
           std::to_string(i) + ".dll\"\r\n";
  return inf;
}

// Also counts the Setup API's line lookups of one read.
void BM_ReadPackageInf(benchmark::State& state) {
  Bench bench;
  bench.machine.PutFile("C:\\pkg\\setup.inf", GeneratePackageInf());
  if (bench.TimeReads(state) != 600) state.SkipWithError("not every model was listed");
  const auto& calls = bench.machine.calls;
  state.counters["line_lookups"] =
      static_cast<double>(std::count(calls.begin(), calls.end(), "SetupGetLineTextA"));
}
BENCHMARK(BM_ReadPackageInf)->Unit(benchmark::kMillisecond);

// Prints the time ratio between sizes after the runs.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) m_seconds[run.run_name.args] = run.GetAdjustedRealTime();
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    bool linear = true;
    const char* steps[][2] = {{"100", "1000"}, {"1000", "10000"}};
    for (const auto& step : steps) {
      double ratio = m_seconds[step[1]] / m_seconds[step[0]];
      std::printf("time(%s models) / time(%s models) = %.2f\n", step[1], step[0], ratio);
      if (std::string(step[0]) == "1000") linear = ratio <= 12.0;
    }
    std::printf("reading grows linearly (10x the lines within 12x the time): %s\n",
                linear ? "yes" : "NO");
  }

 private:
  std::map<std::string, double> m_seconds;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
