// The archive object: the one thing the application talks to. It holds a job's settings, the
// open archive file, the destination folder, the entry records and the notification lists, and
// runs open, identify, scan, decode and close with a format reader it creates for the format.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/Handler.h"
#include "archive/Items.h"
#include "archive/Settings.h"

namespace stream {
class FileInput;
}

namespace vessel5 {

class FormatReader;

// One file an extraction wrote: the entry's stored name and the path it was written to (after
// any renaming).
struct WrittenFile {
    std::string storedName;
    std::string path;
};

// Format identifiers are 0 to 30; only 5 (Zip) has a reader.
constexpr std::int32_t kZipFormat = 5;

class Archive {
  public:
    Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;
    // Overwrites the password before its memory is released.
    virtual ~Archive();

    virtual void open(const std::string& path);
    virtual void identify();
    virtual void scan();
    virtual void decode();
    virtual void close();
    virtual bool isKnownFormat(int format) const;
    virtual bool isDecodableFormat(int format) const;

    Settings& settings() { return settings_; }
    const Settings& settings() const { return settings_; }

    // Empty means not chosen yet: decode then uses the folder of the archive file.
    void setDestinationFolder(const std::string& folder) { destinationFolder_ = folder; }
    const std::string& destinationFolder() const { return destinationFolder_; }
    // When set (the default), characters that file names may not contain are removed from the
    // names the archive stores.
    void setCleanNames(bool clean) { cleanNames_ = clean; }
    bool cleanNames() const { return cleanNames_; }
    // When set, extracted files get the Unix permission bits their entries record
    // (keepUnixPermissions).
    void setKeepUnixPermissions(bool keep) { keepUnixPermissions_ = keep; }
    bool keepsUnixPermissions() const { return keepUnixPermissions_; }
    // Where the last decoded archive ended: the start offset of the next decode.
    void setEndPosition(std::uint32_t position) { endPosition_ = position; }
    std::uint32_t endPosition() const { return endPosition_; }
    void setPassword(const std::string& password);
    const std::string& password() const { return password_; }
    // The stored name of the entry whose password is asked for (kPasswordWanted).
    void setPasswordEntry(const std::string& name) { passwordEntry_ = name; }
    const std::string& passwordEntry() const { return passwordEntry_; }

    // The files the last decode wrote, in order; a file that failed and was removed is not here.
    void recordWritten(const std::string& storedName, const std::string& path) {
        written_.push_back(WrittenFile{storedName, path});
    }
    const std::vector<WrittenFile>& writtenFiles() const { return written_; }

    bool isOpen() const { return open_; }
    bool isIdentified() const { return identified_; }
    bool isScanned() const { return scanned_; }
    // The reader between scan and the end of decode, or null.
    FormatReader* reader() { return reader_.get(); }

    FileItem& currentItem() { return currentItem_; }
    FolderItem& currentFolder() { return currentFolder_; }

    // Registration: each creates a handler, appends it to its list and returns it.
    Handler& onDestinationWanted(Handler0 function, void* user);
    Handler& onDecoded(Handler0 function, void* user);
    Handler& onNameChanged(TextHandler function, void* user);
    Handler& onItemStarted(Handler1 function, void* user);
    Handler& onItemDone(Handler0 function, void* user);
    Handler& onItemFailed(Handler0 function, void* user);
    Handler& onScanFile(Handler1 function, void* user);
    Handler& onScanFolder(Handler1 function, void* user);
    Handler& onScanStarted(Handler0 function, void* user);
    Handler& onScanEnded(Handler0 function, void* user);
    Handler& onScanNext(Handler0 function, void* user);
    Handler& onStarted(Handler1 function, void* user);
    Handler& onEnded(Handler0 function, void* user);
    Handler& onProgress(Handler1 function, void* user);
    Handler& onItemSkipped(TextHandler function, void* user);
    Handler& onPasswordWanted(Handler1 function, void* user);
    template <typename Function>
    Handler& add(int list, Function function, void* user) {
        return handlers_.add(list, function, user);
    }
    HandlerLists& handlers() { return handlers_; }

    void notify(int list, std::uint64_t argument = 0) { handlers_.notify(list, argument); }
    void notifyText(int list, const std::string& text) { handlers_.notifyText(list, text); }
    bool dispatch(int list, std::uint64_t argument = 0) {
        return handlers_.dispatch(list, argument);
    }

    // Lets a test see the password's buffer once the destructor has overwritten it, before the
    // buffer is released.
    using ErasureObserver = void (*)(const std::string& erased, void* user);
    void observePasswordErasure(ErasureObserver observer, void* user) {
        erasureObserver_ = observer;
        erasureUser_ = user;
    }

  protected:
    // The reader for a format, or null when there is none.
    virtual std::unique_ptr<FormatReader> createReader(std::int32_t format);

  private:
    Settings settings_;
    std::string destinationFolder_;
    bool cleanNames_ = true;
    bool keepUnixPermissions_ = false;
    std::uint32_t endPosition_ = 0;
    std::vector<WrittenFile> written_;
    std::unique_ptr<stream::FileInput> input_;
    std::unique_ptr<FormatReader> reader_;
    bool open_ = false;
    std::string password_;
    std::string passwordEntry_;
    bool identified_ = false;
    bool scanned_ = false;
    FileItem currentItem_;
    FolderItem currentFolder_;
    HandlerLists handlers_;
    ErasureObserver erasureObserver_ = nullptr;
    void* erasureUser_ = nullptr;
};

}  // namespace vessel5
