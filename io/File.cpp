#include "io/File.h"

#include "base/Exception.h"

namespace io {

File::~File() = default;

void File::openAs(const std::string& path, platform::OpenMode mode) {
    if (!path.empty()) {
        setPath(path);
    }
    handle_ = platform::openFile(this->path(), mode);
    createdNew_ = mode == platform::OpenMode::CreateNew && isOpen();
}

void File::open(const std::string& path) {
    openAs(path, platform::OpenMode::Read);
    if (!isOpen()) {
        throw InputException("io::File::open() cannot open " + this->path());
    }
}

void File::openRW(const std::string& path) {
    openAs(path, platform::OpenMode::ReadWrite);
    if (!isOpen()) {
        throw InputException("io::File::openRW() cannot open " + this->path());
    }
}

void File::create(const std::string& path) {
    openAs(path, platform::OpenMode::Create);
    if (!isOpen()) {
        throw OutputException("io::File::create() cannot create " + this->path());
    }
}

void File::createNew(const std::string& path) {
    openAs(path, platform::OpenMode::CreateNew);
    if (!isOpen()) {
        const bool taken = platform::nameWasTaken();
        const std::string reason = platform::lastFailureText();
        if (taken) {
            throw NameTakenException("io::File::createNew() name taken: " + this->path());
        }
        throw OutputException("io::File::createNew() cannot create " + this->path() + ": " +
                              reason);
    }
}

bool File::setUnixPermissions(std::uint32_t mode) {
    if (createdNew_ && isOpen() && platform::newFileHasUnixPermissions(mode)) {
        return true;
    }
    return isOpen() && platform::setUnixPermissionsOf(handle_, mode);
}

void File::close() {
    if (!isOpen()) {
        return;
    }
    bool closed = platform::closeFile(handle_);
    handle_ = platform::kNoFile;
    createdNew_ = false;
    if (!closed) {
        throw Exception("io::File::close() cannot close " + path());
    }
}

std::uint32_t File::read(void* buffer, std::uint32_t length) {
    if (length == 0) {
        return 0;
    }
    std::uint32_t done = 0;
    if (!platform::readFile(handle_, buffer, length, done)) {
        throw InputException("io::File::read() cannot read from " + path());
    }
    return done;
}

std::uint32_t File::readAt(std::uint64_t position, void* buffer, std::uint32_t length) {
    if (length == 0) {
        return 0;
    }
    std::uint32_t done = 0;
    if (!platform::readFileAt(handle_, position, buffer, length, done)) {
        throw InputException("io::File::read() cannot read from " + path());
    }
    return done;
}

void File::write(const void* buffer, std::uint32_t length) {
    if (buffer == nullptr || length == 0) {
        return;
    }
    std::uint32_t done = 0;
    if (!platform::writeFile(handle_, buffer, length, done)) {
        throw OutputException("io::File::write() cannot write to " + path());
    }
}

std::uint64_t File::tell() {
    std::uint64_t position = 0;
    if (!platform::filePosition(handle_, position)) {
        throw Exception("io::File::tell() cannot get the position of " + path());
    }
    return position;
}

std::uint64_t File::size() {
    std::uint64_t bytes = 0;
    if (!platform::fileSize(handle_, bytes)) {
        throw Exception("io::File::size() cannot determine the size of " + path());
    }
    return bytes;
}

void File::resize(std::uint64_t newSize) {
    if (!isOpen()) {
        return;
    }
    std::uint64_t current = tell();
    if (newSize < current) {
        throw Exception("io::File::resize() io::File::resize() cannot truncate its file");
    }
    const std::uint8_t filler = 0xBC;
    for (std::uint64_t i = current; i < newSize; ++i) {
        write(&filler, 1);
    }
}

void File::unlink() {
    close();
    if (!platform::deleteFile(path())) {
        throw Exception("io::File::unlink() cannot delete " + path());
    }
}

void File::setCreationFileTime(std::uint64_t ticks) {
    if (isOpen()) {
        setTimeOf(handle_, platform::TimeKind::Creation, ticks);
    } else {
        setTimeOfPath(platform::TimeKind::Creation, ticks);
    }
}

std::uint64_t File::creationFileTime() const {
    return isOpen() ? timeOf(handle_, platform::TimeKind::Creation)
                    : timeOfPath(platform::TimeKind::Creation);
}

void File::setModificationFileTime(std::uint64_t ticks) {
    if (isOpen()) {
        setTimeOf(handle_, platform::TimeKind::Modification, ticks);
    } else {
        setTimeOfPath(platform::TimeKind::Modification, ticks);
    }
}

std::uint64_t File::modificationFileTime() const {
    return isOpen() ? timeOf(handle_, platform::TimeKind::Modification)
                    : timeOfPath(platform::TimeKind::Modification);
}

void File::setAccessFileTime(std::uint64_t ticks) {
    if (isOpen()) {
        setTimeOf(handle_, platform::TimeKind::Access, ticks);
    } else {
        setTimeOfPath(platform::TimeKind::Access, ticks);
    }
}

std::uint64_t File::accessFileTime() const {
    return isOpen() ? timeOf(handle_, platform::TimeKind::Access)
                    : timeOfPath(platform::TimeKind::Access);
}

}  // namespace io
