#include "archive/Archive.h"

#include "base/Exception.h"
#include "archive/FormatReader.h"
#include "archive/Wipe.h"
#include "io/Path.h"
#include "io/PathName.h"
#include "platform/Platform.h"
#include "stream/BufferedInput.h"
#include "io/FileInput.h"

namespace vessel5 {
namespace {

constexpr int kLastFormat = 30;
constexpr std::uint32_t kScanBufferSize = 65536;

// Formats 3 to 22 and 26 to 30.
constexpr std::uint32_t kKnownFormats = 0x7FFFF8u | (0x1Fu << 26);
// Formats 3, 5 to 8, 11, 12, 17 to 20, 22 and 26 to 30.
constexpr std::uint32_t kDecodableFormats =
    (1u << 3) | (1u << 5) | (1u << 6) | (1u << 7) | (1u << 8) | (1u << 11) | (1u << 12) |
    (1u << 17) | (1u << 18) | (1u << 19) | (1u << 20) | (1u << 22) | (0x1Fu << 26);

bool hasFlag(std::uint32_t table, int format) {
    return format >= 0 && format <= kLastFormat && ((table >> format) & 1u) != 0;
}

}  // namespace

Archive::Archive() = default;

Archive::~Archive() {
    wipe(password_);
    if (erasureObserver_ != nullptr) {
        erasureObserver_(password_, erasureUser_);
    }
}

void Archive::setPassword(const std::string& password) {
    wipe(password_);
    password_.clear();
    password_ = password;
}

bool Archive::isKnownFormat(int format) const {
    return hasFlag(kKnownFormats, format);
}

bool Archive::isDecodableFormat(int format) const {
    return hasFlag(kDecodableFormats, format);
}

void Archive::open(const std::string& path) {
    // A failed open leaves no archive open, rather than the previous one under the new path.
    close();
    identified_ = false;
    settings_.startOffset = 0;
    settings_.endOffset = stream::ALL;
    settings_.format = 0;
    scanned_ = false;
    settings_.path = path;
    try {
        input_ = std::make_unique<stream::FileInput>(path);
        input_->seek(0);
    } catch (const io::Exception& e) {
        input_.reset();
        throw brindle5::exception::Input(e.message());
    }
    open_ = true;
}

void Archive::identify() {
    // Every archive is taken for Zip: there is only one reader.
    identified_ = true;
    settings_.format = kZipFormat;
}

std::unique_ptr<FormatReader> Archive::createReader(std::int32_t format) {
    ReaderFactory factory = zipReaderFactory();
    if (format == kZipFormat && factory != nullptr) {
        return factory(settings_.startOffset, *this);
    }
    return nullptr;
}

void Archive::scan() {
    if (!identified_) {
        identify();
    }
    if (!open_) {
        throw brindle5::exception::BadArgument("call to scan an archive without an open archive");
    }
    reader_.reset();
    if (isDecodableFormat(settings_.format)) {
        reader_ = createReader(settings_.format);
    }
    if (!reader_) {
        throw brindle5::exception::UnsupportedFormat("format is not supported");
    }
    // A second stream on the same handle lets the reader move freely; it never closes the file.
    stream::FileInput shared(input_->file().handle(), settings_.path);
    shared.limitTo(settings_.endOffset);
    stream::BufferedInput buffered(shared, kScanBufferSize);
    reader_->scan(buffered);
    scanned_ = true;
}

void Archive::decode() {
    if (!scanned_) {
        scan();
    }
    // After close the input is gone: nothing may touch it.
    if (!open_) {
        throw brindle5::exception::BadArgument("call to decode an archive without an open archive");
    }
    if (!isDecodableFormat(settings_.format)) {
        throw brindle5::exception::BadArgument("call to decode an archive without an open archive");
    }
    if (!reader_) {
        throw brindle5::exception::UnsupportedFormat("archive format is not supported or disabled");
    }
    if (destinationFolder_.empty()) {
        std::string absolute = settings_.path;
        io::makeAbsolute(absolute);
        destinationFolder_ = io::Path(absolute, platform::kSeparator).directory();
    }
    written_.clear();
    try {
        stream::FileInput shared(input_->file().handle(), settings_.path);
        shared.limitTo(settings_.endOffset);
        reader_->decodeFile(shared);
    } catch (...) {
        // Move on by one byte, so that a file holding several archives can be walked past a
        // damaged one; the next decode scans again from there.
        settings_.startOffset += 1;
        scanned_ = false;
        reader_.reset();
        throw;
    }
    reader_.reset();
    settings_.startOffset = endPosition_;
    input_->seek(settings_.startOffset);
    scanned_ = false;
    endPosition_ = static_cast<std::uint32_t>(input_->tell());
}

void Archive::close() {
    if (input_) {
        input_->close();
        input_.reset();
    }
    open_ = false;
}

Handler& Archive::onDestinationWanted(Handler0 function, void* user) {
    return handlers_.add(kDestinationWanted, function, user);
}
Handler& Archive::onDecoded(Handler0 function, void* user) {
    return handlers_.add(kDecoded, function, user);
}
Handler& Archive::onNameChanged(TextHandler function, void* user) {
    return handlers_.add(kNameChanged, function, user);
}
Handler& Archive::onItemStarted(Handler1 function, void* user) {
    return handlers_.add(kItemStarted, function, user);
}
Handler& Archive::onItemDone(Handler0 function, void* user) {
    return handlers_.add(kItemDone, function, user);
}
Handler& Archive::onItemFailed(Handler0 function, void* user) {
    return handlers_.add(kItemFailed, function, user);
}
Handler& Archive::onScanFile(Handler1 function, void* user) {
    return handlers_.add(kScanFile, function, user);
}
Handler& Archive::onScanFolder(Handler1 function, void* user) {
    return handlers_.add(kScanFolder, function, user);
}
Handler& Archive::onScanStarted(Handler0 function, void* user) {
    return handlers_.add(kScanStarted, function, user);
}
Handler& Archive::onScanEnded(Handler0 function, void* user) {
    return handlers_.add(kScanEnded, function, user);
}
Handler& Archive::onScanNext(Handler0 function, void* user) {
    return handlers_.add(kScanNext, function, user);
}
Handler& Archive::onStarted(Handler1 function, void* user) {
    return handlers_.add(kStarted, function, user);
}
Handler& Archive::onEnded(Handler0 function, void* user) {
    return handlers_.add(kEnded, function, user);
}
Handler& Archive::onProgress(Handler1 function, void* user) {
    return handlers_.add(kProgress, function, user);
}
Handler& Archive::onItemSkipped(TextHandler function, void* user) {
    return handlers_.add(kItemSkipped, function, user);
}

Handler& Archive::onPasswordWanted(Handler1 function, void* user) {
    return handlers_.add(kPasswordWanted, function, user);
}

}  // namespace vessel5
