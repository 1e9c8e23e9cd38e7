// A file opened through a handle for sequential reading and writing. The object does not own
// the handle: whoever opened the file calls close() (the file streams do when they own it).
// Positions and sizes are 64-bit; files of 4 GiB and more are read and positioned correctly.
#pragma once

#include <cstdint>
#include <string>

#include "io/Entry.h"

namespace io {

class File : public Entry {
  public:
    File() = default;
    explicit File(std::string path) : Entry(std::move(path)) {}
    // Takes an already open handle; the path is used in messages and for path operations.
    File(platform::FileHandle handle, std::string path) : Entry(std::move(path)), handle_(handle) {}
    ~File() override;

    // A non-empty path replaces the stored one; an empty path reopens the stored one. Each
    // expects a closed file. open() lets others read and write the file meanwhile, openRW()
    // lets others read, create() (which replaces an existing file) lets no one in.
    void create(const std::string& path = std::string()) override;
    // Creates a file that does not exist yet, never through a link: throws NameTakenException
    // when the name is taken, OutputException with the system's reason otherwise.
    void createNew(const std::string& path);
    // The Unix permission bits (see platform::setUnixPermissions) through the open handle; no
    // call when createNew() made the file with these bits already.
    bool setUnixPermissions(std::uint32_t mode);
    virtual void open(const std::string& path = std::string());
    virtual void openRW(const std::string& path = std::string());
    // Nothing happens on a closed file. The handle is empty afterwards even when closing fails.
    virtual void close();
    // The count read: 0 at the end of the file, which is no error.
    virtual std::uint32_t read(void* buffer, std::uint32_t length);
    // As read, at `position`, leaving the file's position alone on POSIX: several threads may
    // read one handle at once this way.
    std::uint32_t readAt(std::uint64_t position, void* buffer, std::uint32_t length);
    virtual void write(const void* buffer, std::uint32_t length);
    virtual std::uint64_t tell();
    virtual std::uint64_t size();
    // Grows the file from the position by writing 0xBC bytes; never shrinks it.
    virtual void resize(std::uint64_t newSize);
    // Closes the file first if it is open, then deletes it.
    virtual void unlink();

    // Through the open handle when there is one, else through a handle of their own.
    void setCreationFileTime(std::uint64_t ticks) override;
    std::uint64_t creationFileTime() const override;
    void setModificationFileTime(std::uint64_t ticks) override;
    std::uint64_t modificationFileTime() const override;
    void setAccessFileTime(std::uint64_t ticks) override;
    std::uint64_t accessFileTime() const override;

    bool isOpen() const { return handle_ != platform::kNoFile; }
    platform::FileHandle handle() const { return handle_; }

  protected:
    platform::FileHandle handle_ = platform::kNoFile;
    // Made by createNew() and open since: its permission bits are those of a new file.
    bool createdNew_ = false;

  private:
    void openAs(const std::string& path, platform::OpenMode mode);
};

}  // namespace io
