#include "io/Entry.h"

#include "base/Exception.h"
#include "io/TimeUnits.h"
#include "platform/Platform.h"

namespace io {

namespace {

using platform::TimeKind;

const char* getMessage(TimeKind kind) {
    switch (kind) {
        case TimeKind::Creation:
            return "cannot get the creation time of ";
        case TimeKind::Access:
            return "cannot get the access time of ";
        case TimeKind::Modification:
            break;
    }
    return "cannot get the modification time of ";
}

const char* setMessage(TimeKind kind) {
    switch (kind) {
        case TimeKind::Creation:
            return "cannot set the creation time of ";
        case TimeKind::Access:
            return "cannot set the access time of ";
        case TimeKind::Modification:
            break;
    }
    return "cannot set the modification time of ";
}

// A handle opened for one time query or change, closed whatever happens.
class TemporaryHandle {
  public:
    TemporaryHandle(const std::string& path, platform::OpenMode mode)
        : handle_(platform::openFile(path, mode)) {
        if (handle_ == platform::kNoFile) {
            throw Exception("cannot open " + path);
        }
    }
    TemporaryHandle(const TemporaryHandle&) = delete;
    TemporaryHandle& operator=(const TemporaryHandle&) = delete;
    ~TemporaryHandle() { platform::closeFile(handle_); }

    platform::FileHandle get() const { return handle_; }

  private:
    platform::FileHandle handle_;
};

}  // namespace

Entry::Entry(std::string path) : path_(std::move(path)) {
    if (path_.size() > 1 && path_.back() == platform::kSeparator) {
        path_.pop_back();
    }
}

Entry::~Entry() = default;

bool Entry::exists() const {
    return platform::fileAttributes(path_) != platform::kInvalidAttributes;
}

std::uint64_t Entry::timeOf(platform::FileHandle file, TimeKind kind) const {
    std::uint64_t ticks = 0;
    if (!platform::fileTime(file, kind, ticks)) {
        throw Exception(getMessage(kind) + path_);
    }
    return ticks;
}

void Entry::setTimeOf(platform::FileHandle file, TimeKind kind, std::uint64_t ticks) {
    if (!platform::setFileTime(file, kind, ticks)) {
        throw Exception(setMessage(kind) + path_);
    }
}

std::uint64_t Entry::timeOfPath(TimeKind kind) const {
    TemporaryHandle file(path_, platform::OpenMode::QueryTimes);
    return timeOf(file.get(), kind);
}

void Entry::setTimeOfPath(TimeKind kind, std::uint64_t ticks) {
    TemporaryHandle file(path_, platform::OpenMode::ChangeTimes);
    setTimeOf(file.get(), kind, ticks);
}

void Entry::setCreationFileTime(std::uint64_t ticks) {
    setTimeOfPath(TimeKind::Creation, ticks);
}
std::uint64_t Entry::creationFileTime() const {
    return timeOfPath(TimeKind::Creation);
}
void Entry::setModificationFileTime(std::uint64_t ticks) {
    setTimeOfPath(TimeKind::Modification, ticks);
}
std::uint64_t Entry::modificationFileTime() const {
    return timeOfPath(TimeKind::Modification);
}
void Entry::setAccessFileTime(std::uint64_t ticks) {
    setTimeOfPath(TimeKind::Access, ticks);
}
std::uint64_t Entry::accessFileTime() const {
    return timeOfPath(TimeKind::Access);
}

std::uint32_t Entry::secondsOr(std::uint64_t (Entry::*getter)() const, TimeKind kind) const {
    try {
        return secondsFromTicks((this->*getter)());
    } catch (const Exception&) {
        // The runtime's status may still answer where no handle could be opened; its own
        // failure leaves 0.
        std::uint32_t seconds = 0;
        platform::statTime(path_, kind, seconds);
        return seconds;
    }
}

void Entry::setCreationTime(std::uint32_t seconds) {
    try {
        setCreationFileTime(ticksFromSeconds(seconds));
    } catch (const Exception&) {
        // A creation time is a courtesy: nothing else can set it.
    }
}

std::uint32_t Entry::creationTime() const {
    return secondsOr(&Entry::creationFileTime, TimeKind::Creation);
}

void Entry::setModificationTime(std::uint32_t seconds) {
    try {
        setModificationFileTime(ticksFromSeconds(seconds));
    } catch (const Exception&) {
        platform::setPathTimes(path_, seconds);
    }
}

std::uint32_t Entry::modificationTime() const {
    return secondsOr(&Entry::modificationFileTime, TimeKind::Modification);
}

void Entry::setAccessTime(std::uint32_t seconds) {
    try {
        setAccessFileTime(ticksFromSeconds(seconds));
    } catch (const Exception&) {
        platform::setPathTimes(path_, seconds);
    }
}

std::uint32_t Entry::accessTime() const {
    return secondsOr(&Entry::accessFileTime, TimeKind::Access);
}

void Entry::setSpare(std::uint32_t) {}
std::uint32_t Entry::spare() const {
    return 0;
}

void Entry::clearAttributes() {
    platform::setFileAttributes(path_, platform::kAttributeNormal);
}

void Entry::setAttributes(std::uint32_t raw) {
    if (raw != 0) {
        platform::setFileAttributes(path_, raw);
    }
}

std::uint32_t Entry::attributes() const {
    return platform::fileAttributes(path_);
}

bool Entry::flag(std::uint32_t bit) const {
    std::uint32_t raw = platform::fileAttributes(path_);
    if (raw == platform::kInvalidAttributes) {
        throw Exception("cannot get the attributes of " + path_);
    }
    return (raw & bit) != 0;
}

void Entry::setFlag(std::uint32_t bit, bool flag) {
    std::uint32_t raw = platform::fileAttributes(path_);
    if (raw == platform::kInvalidAttributes) {
        throw Exception("cannot get the attributes of " + path_);
    }
    raw = flag ? (raw | bit) : (raw & ~bit);
    if (!platform::setFileAttributes(path_, raw)) {
        throw Exception("cannot set the attributes of " + path_);
    }
}

void Entry::setReadOnly(bool flag) {
    setFlag(platform::kAttributeReadOnly, flag);
}
bool Entry::isReadOnly() const {
    return flag(platform::kAttributeReadOnly);
}
void Entry::setArchive(bool flag) {
    setFlag(platform::kAttributeArchive, flag);
}
bool Entry::isArchive() const {
    return flag(platform::kAttributeArchive);
}
void Entry::setSystem(bool flag) {
    setFlag(platform::kAttributeSystem, flag);
}
bool Entry::isSystem() const {
    return flag(platform::kAttributeSystem);
}
void Entry::setHidden(bool flag) {
    setFlag(platform::kAttributeHidden, flag);
}
bool Entry::isHidden() const {
    return flag(platform::kAttributeHidden);
}

}  // namespace io
