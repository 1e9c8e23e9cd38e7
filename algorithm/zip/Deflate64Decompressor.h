// Decodes Zip method 9 (Deflate64): Deflate with a 65,536-byte window, distance symbols 30 and
// 31 (14 extra bits each) and length symbol 285 standing for 3 plus 16 extra bits. Everything
// else is Inflate's; its messages end in "in Deflate64Decompressor".
#pragma once

#include "algorithm/zip/Decompressor.h"

namespace algorithm {
namespace zip {

class Deflate64Decompressor : public Decompressor {
  public:
    Deflate64Decompressor();
};

}  // namespace zip
}  // namespace algorithm
