// inf_dump CLASS FILE...
//
// Prints the system texts of the Setup API errors, then for each FILE a
// line "== NAME" and the INF dump of it (inf_dump.h), opened with install
// class CLASS ("-" for none). Exits with 0, or 2 on a usage error.
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
  if (argc < 2) {
    std::fprintf(stderr, "usage: inf_dump CLASS FILE...\n");
    return 2;
  }
  const char* infClass = std::strcmp(argv[1], "-") == 0 ? nullptr : argv[1];
  std::string out;
  int status = 0;
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
  platform::Platform real = platform::RealPlatform();
  out += infdump::DumpMessageTexts(*real.messages, *real.error);
  for (int i = 2; i < argc; ++i)
    out += "== " + BaseName(argv[i]) + "\n" +
           infdump::DumpInf(*real.setup, *real.error, argv[i], infClass);
#else
  {
    sim::SimMachine machine;
    out += infdump::DumpMessageTexts(machine, machine);
  }
  for (int i = 2; i < argc; ++i) {
    std::string name = BaseName(argv[i]);
    std::string path = "C:\\corpus\\" + name;
    sim::SimMachine machine;
    machine.MakeDirectory("C:\\corpus");
    std::ifstream in(argv[i], std::ios::binary);
    if (in) {
      std::ostringstream content;
      content << in.rdbuf();
      machine.PutFile(path, content.str());
    }
    out += "== " + name + "\n" + infdump::DumpInf(machine.setup, machine, path, infClass);
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
