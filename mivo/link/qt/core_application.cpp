#include "core_application.h"

namespace mivo::link {

std::unique_ptr<QCoreApplication> EnsureCoreApplication() {
  if (QCoreApplication::instance() != nullptr) return nullptr;
  // Without windows the plain event dispatcher does; it costs less per socket event than
  // the GLib one.
  if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
  static int argc = 1;
  static char name[] = "mivo-cli";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QCoreApplication>(argc, argv);
}

}  // namespace mivo::link
