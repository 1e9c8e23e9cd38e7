// A file or folder known by its path: times and attributes can be read and changed without
// opening anything. The base of the file classes.
//
// Where a platform lacks a counterpart (see platform/FileSystem.h and platform/FileTime.h): the
// hidden, system and archive flags read as false and setting them changes nothing, and the
// creation time cannot be changed on POSIX (the setters are accepted and change nothing).
#pragma once

#include <cstdint>
#include <string>

#include "platform/FileSystem.h"
#include "platform/FileTime.h"

namespace io {

class Entry {
  public:
    Entry() = default;
    // One trailing separator is removed from the path (a lone separator stays).
    explicit Entry(std::string path);
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;
    virtual ~Entry();

    // True for a file and for a folder.
    virtual bool exists() const;
    virtual void create(const std::string& path) = 0;

    // Seconds since 1970 UTC. The getters fall back to the runtime's status of the path when the
    // file cannot be opened; the modification and access setters fall back to the runtime's
    // change of both times; a failure to set the creation time is ignored.
    virtual void setCreationTime(std::uint32_t seconds);
    virtual std::uint32_t creationTime() const;
    virtual void setModificationTime(std::uint32_t seconds);
    virtual std::uint32_t modificationTime() const;
    virtual void setAccessTime(std::uint32_t seconds);
    virtual std::uint32_t accessTime() const;

    // Ticks (100 ns since 1601 UTC) through a handle opened for this call only.
    virtual void setCreationFileTime(std::uint64_t ticks);
    virtual std::uint64_t creationFileTime() const;
    virtual void setModificationFileTime(std::uint64_t ticks);
    virtual std::uint64_t modificationFileTime() const;
    virtual void setAccessFileTime(std::uint64_t ticks);
    virtual std::uint64_t accessFileTime() const;

    // Reserved: keeps nothing. Kept as part of the archive library's API; no program of ours calls
    // it yet.
    virtual void setSpare(std::uint32_t value);
    virtual std::uint32_t spare() const;

    // The raw attribute bits. These three never throw; attributes() answers
    // platform::kInvalidAttributes for a missing path, and setAttributes(0) changes nothing.
    virtual void clearAttributes();
    virtual void setAttributes(std::uint32_t raw);
    virtual std::uint32_t attributes() const;
    // One bit each; the other bits are kept.
    virtual void setReadOnly(bool flag);
    virtual bool isReadOnly() const;
    virtual void setArchive(bool flag);
    virtual bool isArchive() const;
    virtual void setSystem(bool flag);
    virtual bool isSystem() const;
    virtual void setHidden(bool flag);
    virtual bool isHidden() const;

    const std::string& path() const { return path_; }

  protected:
    // Stores a path exactly as given (no separator removed).
    void setPath(const std::string& path) { path_ = path; }

    // The time of an open handle; throws io::Exception naming this entry's path.
    std::uint64_t timeOf(platform::FileHandle file, platform::TimeKind kind) const;
    void setTimeOf(platform::FileHandle file, platform::TimeKind kind, std::uint64_t ticks);
    // The same through a handle opened on the path for this call only.
    std::uint64_t timeOfPath(platform::TimeKind kind) const;
    void setTimeOfPath(platform::TimeKind kind, std::uint64_t ticks);

  private:
    std::uint32_t secondsOr(std::uint64_t (Entry::*getter)() const, platform::TimeKind kind) const;
    bool flag(std::uint32_t bit) const;
    void setFlag(std::uint32_t bit, bool flag);

    std::string path_;
};

}  // namespace io
