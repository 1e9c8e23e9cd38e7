// Runs one entry's data from the archive through the algorithm of its compression method into
// its output, computing the CRC-32 of what it writes and relaying progress to the archive.
// One decoder serves one entry; createEntryDecoder (MethodDecoders.h) makes the right kind.
#pragma once

#include <cstdint>
#include <memory>

#include "algorithm/Algorithm.h"
#include "format/zip/ProgressRelay.h"
#include "stream/Stream.h"

namespace format {
namespace zip {

class EntryDecoder {
  public:
    EntryDecoder(vessel5::Archive& archive, std::unique_ptr<algorithm::Algorithm> algorithm);
    EntryDecoder(const EntryDecoder&) = delete;
    EntryDecoder& operator=(const EntryDecoder&) = delete;
    virtual ~EntryDecoder();

    // Decodes from input (at the first data byte, already decrypted) into output. Afterwards crc
    // holds the CRC-32 of the data written and produced has grown by its length.
    virtual void decode(stream::InputStream& input, stream::OutputStream& output);

    // Bytes of the archive extracted before this entry; advanced by decode.
    std::uint64_t produced = 0;
    // CRC-32 and output on a second thread while this one decodes (stream::PipelinedOutput):
    // worth it for large entries when another core is free. Progress still comes from this one.
    bool pipelined = false;
    // The pipeline's buffers: the decoder fills one while the second thread checks and writes
    // another; the third absorbs an uneven write. On 200 MB of shared libraries 256 KB and
    // 512 KB did alike and 1 MB worse (no longer in the second core's cache, presumably).
    static constexpr std::uint32_t kPipelineBuffer = 0x80000;
    static constexpr unsigned kPipelineBuffers = 3;
    std::uint64_t uncompressedSize = algorithm::kUnknownSize;
    std::uint64_t compressedSize = algorithm::kUnknownSize;
    std::uint32_t crc = 0;
    // The bytes the input holds and the output will take, where known, whatever the method:
    // a small entry gets small buffers rather than two of 64 KB.
    std::uint64_t inputSize = algorithm::kUnknownSize;
    std::uint64_t outputSize = algorithm::kUnknownSize;

  protected:
    // Runs the algorithm the way its method needs; returns the number of bytes written.
    virtual std::uint64_t run(stream::InputStream& input, stream::OutputStream& output) = 0;

    algorithm::Algorithm& algorithm() { return *algorithm_; }

  private:
    ProgressRelay relay_;
    std::unique_ptr<algorithm::Algorithm> algorithm_;
};

}  // namespace zip
}  // namespace format
