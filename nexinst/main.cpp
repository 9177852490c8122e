// nexinst: the install control program run by the setup and uninstall
// scripts of wireless LAN cards. One operation per run, chosen by an option
// word anywhere on the command line; the result is the exit code.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/root_host.h"
#include "host/win_command_line.h"
#include "installer.h"

namespace {

constexpr char kHelp[] =
    "usage: nexinst OPTION [ARGUMENTS]\n"
    "\n"
    "Runs one install operation on the machine kept in the folder named by\n"
    "NEXINST_ROOT and exits with its result. install.ini and the device tools\n"
    "(drvhelpnt.exe, drvhelpcl.exe) are taken from the folder of this program.\n"
    "The option words are matched case-sensitively anywhere on the command line;\n"
    "-Orvik.Ta lists them. See the project's README for the root layout.\n"
    "\n"
    "Environment:\n"
    "  NEXINST_ROOT        the root folder (required)\n"
    "  NEXINST_WAIT_SCALE  factor applied to every pause (tests: 0)\n";

std::string ProgramPath(const char* argv0) {
  std::vector<char> buffer(4096);
  ssize_t size = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (size > 0) return std::string(buffer.data(), static_cast<size_t>(size));
  return argv0;
}

double WaitScale() {
  const char* text = std::getenv("NEXINST_WAIT_SCALE");
  if (!text || !*text) return 1.0;
  char* end = nullptr;
  double scale = std::strtod(text, &end);
  if (*end != '\0' || !(scale >= 0.0)) {
    std::fprintf(stderr, "nexinst: ignoring NEXINST_WAIT_SCALE=\"%s\" (not a number >= 0)\n", text);
    return 1.0;
  }
  return scale;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  const char* root = std::getenv("NEXINST_ROOT");
  if (!root || !*root) {
    std::fputs("nexinst: NEXINST_ROOT is not set; it must name the root folder (see --help)\n",
               stderr);
    return 255;
  }
  nexinst::RootHost::Options options{root, ProgramPath(argv[0]), WaitScale()};
  std::string error;
  std::unique_ptr<nexinst::RootHost> host = nexinst::RootHost::Open(options, &error);
  if (!host) {
    std::fprintf(stderr, "nexinst: %s\n", error.c_str());
    return 255;
  }
  nexinst::Installer installer(*host);
  // The process exit status keeps the low 8 bits of the 32-bit exit code.
  return installer.Run(nexinst::JoinCommandLine(arguments)) & 0xFF;
}
