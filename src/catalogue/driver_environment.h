// The spooler's driver environment whose records the survey reads: the one
// that matches the program's own build, and on ARM64 Windows, where both
// builds run emulated, the machine's own.
#pragma once

constexpr const char* DriverEnvironment(bool x64Program, bool arm64Machine = false) {
  if (arm64Machine) return "Windows ARM64";
  return x64Program ? "Windows x64" : "Windows NT x86";
}

#if defined(_WIN64)
constexpr bool kX64Program = true;
#else
constexpr bool kX64Program = false;  // the 32-bit program, and the native test build
#endif
