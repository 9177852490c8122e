#include "core_application.h"

namespace mivo::link {

std::unique_ptr<QCoreApplication> EnsureCoreApplication() {
  if (QCoreApplication::instance() != nullptr) return nullptr;
  static int argc = 1;
  static char name[] = "mivo-cli";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QCoreApplication>(argc, argv);
}

}  // namespace mivo::link
