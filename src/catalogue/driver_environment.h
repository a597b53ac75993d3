// The spooler's driver environment whose records the survey reads: the one
// that matches the program's own build.
#pragma once

constexpr const char* DriverEnvironment(bool x64Program) {
  return x64Program ? "Windows x64" : "Windows NT x86";
}

#if defined(_WIN64)
constexpr bool kX64Program = true;
#else
constexpr bool kX64Program = false;  // the 32-bit program, and the native test build
#endif
