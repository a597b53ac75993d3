// The models section that a decorated [Manufacturer] line names on each
// platform.
#include "catalogue/models_section.h"

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>

#include "sim_run.h"

namespace {

constexpr TargetPlatform kWin7x86{"x86", 6, 1, 7601, VER_NT_WORKSTATION, 0};
constexpr TargetPlatform kWin7amd64{"amd64", 6, 1, 7601, VER_NT_WORKSTATION, 0};
constexpr TargetPlatform kWin10amd64{"amd64", 10, 0, 19045, VER_NT_WORKSTATION, 0x100};
constexpr TargetPlatform kServer2019amd64{"amd64", 10, 0, 17763, VER_NT_SERVER, 0x110};
constexpr TargetPlatform kWin11arm64{"arm64", 10, 0, 22631, VER_NT_WORKSTATION, 0x100};
constexpr TargetPlatform kUnknownx86{"x86", 0, 0, 0, 0, 0};
constexpr TargetPlatform kUnknownamd64{"amd64", 0, 0, 0, 0, 0};

struct DecorationRow {
  const char* name;
  std::vector<std::string> fields;  // base name, then the decorations
  TargetPlatform platform;
  const char* section;  // nullptr: no models section
  ArchitectureNamed architecture = ArchitectureNamed::kOptional;
  friend void PrintTo(const DecorationRow& row, std::ostream* os) { *os << row.name; }
};

class Decorations : public ::testing::TestWithParam<DecorationRow> {};

TEST_P(Decorations, ChooseTheModelsSectionWindowsReads) {
  const DecorationRow& row = GetParam();
  std::optional<std::string> section =
      ChooseModelsSection(row.fields, row.platform, row.architecture);
  if (row.section == nullptr)
    EXPECT_EQ(section, std::nullopt);
  else
    EXPECT_EQ(section, std::optional<std::string>(row.section));
}

INSTANTIATE_TEST_SUITE_P(
    Table, Decorations,
    ::testing::Values(
        // The architecture.
        DecorationRow{"X86TakesNTx86", {"Q", "NTx86", "NTamd64"}, kWin7x86, "Q.NTx86"},
        DecorationRow{"Amd64TakesNTamd64", {"Q", "NTx86", "NTamd64"}, kWin7amd64, "Q.NTamd64"},
        DecorationRow{"CaseIgnored", {"Q", "ntAMD64"}, kWin7amd64, "Q.ntAMD64"},
        DecorationRow{"OtherArchitecturesOnly", {"Q", "NTia64", "NTarm64"}, kWin7x86, "Q"},
        DecorationRow{"Arm64TakesNTarm64", {"Q", "NTx86", "NTarm64"}, kWin11arm64, "Q.NTarm64"},
        DecorationRow{"Arm64NeverTheBaseName", {"Q", "NTx86", "NTamd64"}, kWin11arm64, nullptr},
        // ARM64 drivers: only a decoration that names the architecture.
        DecorationRow{"Arm64DriversBesideAHigherPlainNT",
                      {"Q", "NT.10.0", "NTarm64"},
                      kWin11arm64,
                      "Q.NTarm64",
                      ArchitectureNamed::kRequired},
        DecorationRow{"PlainNTHoldsNoArm64Drivers",
                      {"Q", "NT"},
                      kWin11arm64,
                      nullptr,
                      ArchitectureNamed::kRequired},
        // The version parts: at most the system's, the highest wins.
        DecorationRow{"MajorAbove", {"Q", "NTamd64.10"}, kWin7amd64, nullptr},
        DecorationRow{"MinorAbove", {"Q", "NTamd64.6.2"}, kWin7amd64, nullptr},
        DecorationRow{"MinorMet", {"Q", "NTamd64.6.1"}, kWin7amd64, "Q.NTamd64.6.1"},
        DecorationRow{"HighestVersionWins",
                      {"Q", "NTamd64", "NTamd64.6.0", "NTamd64.10.0", "NTamd64.6.3"},
                      kWin10amd64,
                      "Q.NTamd64.10.0"},
        DecorationRow{"BuildAbove", {"Q", "NTamd64.10.0...19046"}, kWin10amd64, nullptr},
        DecorationRow{"HigherBuildWins",
                      {"Q", "NTamd64.10.0...14310", "NTamd64.10.0...17763", "NTamd64.10.0"},
                      kWin10amd64,
                      "Q.NTamd64.10.0...17763"},
        DecorationRow{
            "HexadecimalNumbers", {"Q", "NTamd64.0xA.0x0"}, kWin10amd64, "Q.NTamd64.0xA.0x0"},
        // The product type and the suite mask.
        DecorationRow{"WorkstationOnClient", {"Q", "NTamd64...1"}, kWin10amd64, "Q.NTamd64...1"},
        DecorationRow{"WorkstationOnServer", {"Q", "NTamd64...1"}, kServer2019amd64, nullptr},
        DecorationRow{"ServerOnServer",
                      {"Q", "NTamd64...0x1", "NTamd64...0x3"},
                      kServer2019amd64,
                      "Q.NTamd64...0x3"},
        DecorationRow{"ProductTypeBeatsNone",
                      {"Q", "NTamd64.10.0", "NTamd64.10.0.3"},
                      kServer2019amd64,
                      "Q.NTamd64.10.0.3"},
        DecorationRow{"SuiteMaskBitsAllThere",
                      {"Q", "NTamd64.10.0.3.0x10"},
                      kServer2019amd64,
                      "Q.NTamd64.10.0.3.0x10"},
        DecorationRow{
            "SuiteMaskBitMissing", {"Q", "NTamd64.10.0.3.0x2"}, kServer2019amd64, nullptr},
        // A plain NT: on every architecture, after one that names it.
        DecorationRow{"PlainNTOnAmd64", {"Q", "NT"}, kWin7amd64, "Q.NT"},
        DecorationRow{"ArchitectureBeatsPlainNT", {"Q", "NT", "NTx86"}, kWin7x86, "Q.NTx86"},
        DecorationRow{
            "HigherPlainNTBeatsArchitecture", {"Q", "NTamd64", "NT.6.1"}, kWin7amd64, "Q.NT.6.1"},
        DecorationRow{"FirstOfEqualsWins", {"Q", "NTx86", "ntx86"}, kWin7x86, "Q.NTx86"},
        // No match: x86 reads the base name, amd64 has no models section.
        DecorationRow{"X86FallsBackToTheBaseName", {"Q", "NTamd64"}, kWin7x86, "Q"},
        DecorationRow{"Amd64WithoutMatch", {"Q", "NTx86"}, kWin7amd64, nullptr},
        DecorationRow{
            "NotADecoration", {"Q", "Win2000", "NTx86.six", "NTx86.1.2.3.4.5.6"}, kWin7x86, "Q"},
        // A system that told nothing meets only decorations without version.
        DecorationRow{"UnknownVersionX86", {"Q", "NTx86.5.1", "NTx86"}, kUnknownx86, "Q.NTx86"},
        DecorationRow{
            "UnknownVersionAmd64", {"Q", "NTamd64.5.2", "NTamd64...1"}, kUnknownamd64, nullptr}),
    RowName);

}  // namespace
