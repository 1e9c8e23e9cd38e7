#include "archive/Wipe.h"

namespace vessel5 {

void wipe(std::string& text) {
    // Growing within the capacity keeps the buffer; the volatile writes cannot be optimised away
    // even though the text is about to be destroyed.
    text.resize(text.capacity());
    volatile char* bytes = &text[0];
    for (std::string::size_type i = 0; i < text.size(); ++i) {
        bytes[i] = 0;
    }
}

}  // namespace vessel5
