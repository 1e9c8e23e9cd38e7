#pragma once
// One step of a back-reference copy inside a circular output window, shared by the
// decompressors that keep their history in a fixed window (reduce and implode).

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace algorithm::zip {

// Copies the next piece of a match from source to position in window and returns its
// length. A piece ends at the window's end on either side, so the caller advances both
// indices and flushes a full window between pieces. While zeroBeforeStart is set (nothing
// has been written out yet), a source at or after position lies before the start of the
// output and reads as zeros.
inline unsigned copyWindowPiece(std::vector<std::uint8_t>& window, unsigned source,
                                unsigned position, unsigned length, bool zeroBeforeStart) {
    const unsigned size = static_cast<unsigned>(window.size());
    unsigned piece = std::min(length, size - std::max(source, position));
    std::uint8_t* to = window.data() + position;
    if (zeroBeforeStart && source >= position) {
        std::memset(to, 0, piece);
    } else if (position > source && position - source < piece) {
        // Overlapping forward copy: a run repeats the bytes it has just written.
        const std::uint8_t* from = window.data() + source;
        for (unsigned i = 0; i < piece; ++i) {
            to[i] = from[i];
        }
    } else {
        std::memmove(to, window.data() + source, piece);
    }
    return piece;
}

}  // namespace algorithm::zip
