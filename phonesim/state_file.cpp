#include "state_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace phonesim {

bool LoadStateFile(const std::string& path, SettingsStore& store, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (errno == ENOENT) return true;
    error = "cannot read the state file " + path + ": " + std::strerror(errno);
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::string refused;
  if (!store.LoadState(text.str(), refused)) {
    error = "the state file " + path + " holds a line the settings refuse: " + refused;
    return false;
  }
  return true;
}

bool SaveStateFile(const std::string& path, SettingsStore& store, std::string& error) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << store.StateText();
    out.flush();
    if (!out) {
      error = "cannot write the state file " + temporary;
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = "cannot replace the state file " + path + ": " + std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace phonesim
