#pragma once

#include <CLI/CLI.hpp>

namespace mivo::cli {

// Each command of mivo-cli registers itself on the program's App; main.cpp calls one
// function per command. A command's callback ends by FinishCommand(status).

// defaults [-o FILE]: the configuration file of a new document.
void addDefaultsCommand(CLI::App& app);

// check FILE: every bad line as the export check sees it; never rewrites FILE.
void addCheckCommand(CLI::App& app);

// normalize FILE [-o OUT] [--strict]: load as Open does, write as Save does.
void addNormalizeCommand(CLI::App& app);

}  // namespace mivo::cli
