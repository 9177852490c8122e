#pragma once

#include <cstddef>
#include <cstdint>

namespace mivo::fuzz {

// Entry functions of the fuzz targets, also run by the ordinary tests over a corpus
// of nasty inputs. Each returns 0; a fault shows as a crash or a sanitizer report.

// Every line of the input through Next line, Parse line, Check value, Store value
// and Format line.
int FuzzConfigLine(const uint8_t* data, size_t size);

// The input as a settings buffer (or as a file) through the loader in all three
// modes, with the setting error dialog answering Apply, Skip and Delete in turn,
// and the result through the writer.
int FuzzConfigLoad(const uint8_t* data, size_t size);

}  // namespace mivo::fuzz
