#pragma once

#include <cstddef>
#include <cstdint>

namespace mivo::link::fuzz {

// Entry functions of the fuzz targets, also run by the ordinary tests over a set of
// nasty inputs. Each returns 0; a fault shows as a crash or a sanitizer report.

// The input cut into lines, each read by every reply function for every command word.
int FuzzReplies(const std::uint8_t* data, std::size_t size);

// The input as the phone's bytes into an on-line command channel, in chunks each led by a
// length byte; a length byte of 0 is a keep-alive tick instead.
int FuzzChannel(const std::uint8_t* data, std::size_t size);

// The input as datagrams from the phone into the TFTP server, each led by a length byte;
// a length byte of 0 is a retransmission tick instead.
int FuzzTftpServer(const std::uint8_t* data, std::size_t size);

}  // namespace mivo::link::fuzz
