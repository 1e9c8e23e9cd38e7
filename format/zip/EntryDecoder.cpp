#include "format/zip/EntryDecoder.h"

#include <memory>

#include "algorithm/CRC32.h"
#include "stream/BufferedInput.h"
#include "stream/BufferedOutput.h"
#include "algorithm/ChecksumOutput.h"
#include "stream/PipelinedOutput.h"
#include "stream/ProgressOutput.h"

namespace format {
namespace zip {

namespace {

constexpr std::uint32_t kBufferSize = 0x10000;
constexpr std::uint32_t kSmallestBuffer = 0x1000;
constexpr std::uint32_t kProgressStep = 0x4000;

std::uint32_t bufferFor(std::uint64_t size) {
    if (size >= kBufferSize) {
        return kBufferSize;
    }
    return size < kSmallestBuffer ? kSmallestBuffer : static_cast<std::uint32_t>(size);
}

}  // namespace

EntryDecoder::EntryDecoder(vessel5::Archive& archive,
                           std::unique_ptr<algorithm::Algorithm> algorithm)
    : relay_(archive), algorithm_(std::move(algorithm)) {}

EntryDecoder::~EntryDecoder() = default;

void EntryDecoder::decode(stream::InputStream& input, stream::OutputStream& output) {
    relay_.setStart(produced);
    algorithm::CRC32 checksum(0xFFFFFFFFu);
    stream::ChecksumOutput checked(output, checksum);
    std::unique_ptr<stream::PipelinedOutput> pipeline;
    if (pipelined) {
        pipeline =
            std::make_unique<stream::PipelinedOutput>(checked, kPipelineBuffer, kPipelineBuffers);
    }
    stream::OutputStream& decoded = pipeline ? static_cast<stream::OutputStream&>(*pipeline)
                                             : static_cast<stream::OutputStream&>(checked);
    stream::BufferedOutput buffered(decoded, bufferFor(outputSize));
    stream::ProgressOutput progress(buffered, kProgressStep);
    progress.attach(relay_);
    stream::BufferedInput bufferedInput(input, bufferFor(inputSize));
    std::uint64_t written = 0;
    try {
        written = run(bufferedInput, progress);
        buffered.flush();
    } catch (...) {
        // Before the buffer in front of it flushes on its way out: a failed or cancelled entry
        // has nothing more written.
        if (pipeline) {
            pipeline->cancel();
        }
        throw;
    }
    crc = ~checksum.value();
    produced += written;
}

}  // namespace zip
}  // namespace format
