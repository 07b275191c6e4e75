// Takes the place of the 32-bit regsvr32 in the installer test's prefix on
// machines that cannot run 32-bit programs, so the package still installs
// there and the test can see which registrations it asked of the 32-bit side.
// Appends its arguments, one call a line, to the file named by
// MBX_REGSVR32_LOG and reports success.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main() {
  const char* log = std::getenv("MBX_REGSVR32_LOG");
  if (log == nullptr) return 1;
  // The command line without the program's own name.
  const char* arguments = GetCommandLineA();
  bool quoted = false;
  for (; *arguments != '\0' && (quoted || *arguments != ' '); ++arguments) {
    if (*arguments == '"') quoted = !quoted;
  }
  while (*arguments == ' ') ++arguments;
  FILE* file = std::fopen(log, "a");
  if (file == nullptr) return 1;
  std::fprintf(file, "%s\n", arguments);
  std::fclose(file);
  return 0;
}
