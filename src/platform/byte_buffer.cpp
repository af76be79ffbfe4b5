#include "platform/byte_buffer.h"

#include <cstdlib>

namespace fontctl {

ByteBuffer AllocateBytes(std::size_t size)
{
    ByteBuffer bytes(static_cast<char*>(std::malloc(size == 0 ? 1 : size)));
    if (!bytes) {
        // Nothing has been written to standard output yet, so there is nothing
        // to flush: end without running any more of the program.
        std::_Exit(OutOfMemoryExitStatus);
    }
    return bytes;
}

}  // namespace fontctl
