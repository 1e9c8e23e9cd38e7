// Overwrites secret text in place before its memory can be released or reused.
#pragma once

#include <string>

namespace vessel5 {

// Zeroes every byte of the text's buffer, its spare capacity included. The buffer itself is
// kept, so nothing of the secret is released unwiped; afterwards the text is that many zeros.
void wipe(std::string& text);

}  // namespace vessel5
