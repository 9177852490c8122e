#pragma once

#include <QCoreApplication>
#include <memory>

namespace mivo::link {

// The QCoreApplication a headless session needs: nullptr when one exists already,
// else a new one that lives as long as the returned pointer.
std::unique_ptr<QCoreApplication> EnsureCoreApplication();

}  // namespace mivo::link
