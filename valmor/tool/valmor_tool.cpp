// valmor-tool: diagnostics of the driver's bulk transfer format.

#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "framing.h"

namespace {

constexpr const char* kUsage =
    "Usage: valmor-tool COMMAND\n"
    "\n"
    "Commands:\n"
    "  frame   read one Ethernet frame (raw bytes, at most 1514) on stdin and write\n"
    "          the bulk-out transfer the driver sends for it on stdout (pad bytes zero)\n"
    "  crc16   print the CRC-16/USB of stdin as four uppercase hex digits\n"
    "\n"
    "Options:\n"
    "  -h, --help   show this text\n";

std::vector<uint8_t> ReadStdin() {
  std::vector<uint8_t> bytes;
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  return bytes;
}

int Frame() {
  const std::vector<uint8_t> frame = ReadStdin();
  if (std::ferror(stdin)) {
    std::fprintf(stderr, "valmor-tool: cannot read stdin\n");
    return 1;
  }
  if (frame.size() > 1514) {
    std::fprintf(stderr, "valmor-tool: frame of %zu bytes is longer than 1514 bytes\n",
                 frame.size());
    return 1;
  }
  std::vector<uint8_t> transfer(valmor::kMaxTransferSize);
  const size_t total = valmor::BuildBulkOut(frame, transfer);
  if (std::fwrite(transfer.data(), 1, total, stdout) != total || std::fflush(stdout) != 0) {
    std::fprintf(stderr, "valmor-tool: cannot write stdout\n");
    return 1;
  }
  return 0;
}

int Crc16() {
  const std::vector<uint8_t> bytes = ReadStdin();
  if (std::ferror(stdin)) {
    std::fprintf(stderr, "valmor-tool: cannot read stdin\n");
    return 1;
  }
  std::printf("%04X\n", valmor::Crc16Usb(bytes));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "frame") == 0) return Frame();
  if (argc == 2 && std::strcmp(argv[1], "crc16") == 0) return Crc16();
  if (argc < 2) {
    std::fprintf(stderr, "valmor-tool: missing command\n\n%s", kUsage);
  } else {
    std::fprintf(stderr, "valmor-tool: unknown command or extra argument: %s\n\n%s",
                 argv[argc == 2 ? 1 : 2], kUsage);
  }
  return 2;
}
