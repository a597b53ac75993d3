// inf_dump [-64] CLASS FILE...
//
// Prints the system's version and the system texts of the Setup API
// errors, then for each FILE a line "== NAME" and the INF dump of it
// (inf_dump.h), opened with install class CLASS ("-" for none). Exits with
// 0, or 2 on a usage error.
//
// The program reads decorated INFs as its own build does: the 32-bit one,
// or the 64-bit one. -64 makes the native build's simulated machine run the
// 64-bit program; the Windows build is what it was built as.
//
// The Windows build asks the real Setup API; FILE is a Windows path. The
// native build asks the simulated one: each FILE is a host path, copied to
// C:\corpus\NAME of a fresh simulated machine (a FILE that does not exist
// stays missing there too). It exits with 1 if an INF was left open or a
// handle was misused.
#include <cstdio>
#include <cstring>
#include <string>

#include "inf_dump.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "platform/win32/win32_platform.h"
#else
#include <fstream>
#include <sstream>

#include "platform/sim/sim_machine.h"
#endif

namespace {

std::string BaseName(const std::string& path) {
  std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  [[maybe_unused]] bool x64Program = false;
  if (argc > 1 && std::strcmp(argv[1], "-64") == 0) {
    x64Program = true;
    first = 2;
  }
  if (argc < first + 1) {
    std::fprintf(stderr, "usage: inf_dump [-64] CLASS FILE...\n");
    return 2;
  }
  const char* infClass = std::strcmp(argv[first], "-") == 0 ? nullptr : argv[first];
  std::string out;
  int status = 0;
  TargetPlatform target;
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
  platform::Platform real = platform::RealPlatform();
  out += infdump::DumpSystemVersion(*real.version, *real.error, real.x64Program, &target);
  out += infdump::DumpMessageTexts(*real.messages, *real.error);
  for (int i = first + 1; i < argc; ++i)
    out += "== " + BaseName(argv[i]) + "\n" +
           infdump::DumpInf(*real.setup, *real.error, target, argv[i], infClass);
#else
  {
    sim::SimMachine machine;
    machine.x64Program = x64Program;
    out += infdump::DumpSystemVersion(machine, machine, x64Program, &target);
    out += infdump::DumpMessageTexts(machine, machine);
  }
  for (int i = first + 1; i < argc; ++i) {
    std::string name = BaseName(argv[i]);
    std::string path = "C:\\corpus\\" + name;
    sim::SimMachine machine;
    machine.x64Program = x64Program;
    machine.MakeDirectory("C:\\corpus");
    std::ifstream in(argv[i], std::ios::binary);
    if (in) {
      std::ostringstream content;
      content << in.rdbuf();
      machine.PutFile(path, content.str());
    }
    out += "== " + name + "\n" + infdump::DumpInf(machine.setup, machine, target, path, infClass);
    if (machine.setup.OpenInfs() != 0 || machine.badHandleUses != 0) {
      std::fprintf(stderr, "inf_dump: %s: %d INF(s) left open, %d bad handle use(s)\n",
                   name.c_str(), machine.setup.OpenInfs(), machine.badHandleUses);
      status = 1;
    }
  }
#endif
  std::fwrite(out.data(), 1, out.size(), stdout);
  return status;
}
