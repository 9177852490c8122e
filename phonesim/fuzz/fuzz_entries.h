#pragma once

#include <cstddef>
#include <cstdint>

namespace phonesim::fuzz {

// Entry functions of the fuzz targets, also run by the ordinary tests over a set
// of nasty inputs. Each returns 0; a fault shows as a crash or a sanitizer report.

// The input as one datagram through the packet decoder, then cut into datagrams
// (each led by a length byte) fed to a read and to a write of the TFTP client,
// with time-outs in between.
int FuzzTftp(const uint8_t* data, size_t size);

// The input as the bytes of the command connection into a session over the
// real settings store; every transfer the session starts ends at once, reads
// returning the input itself as the file.
int FuzzSession(const uint8_t* data, size_t size);

}  // namespace phonesim::fuzz
