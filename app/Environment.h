// What the extraction run needs of the machine: its own file, the special folders, its resources
// and a way to start a program. Each platform's stub provides one; tests provide fakes.
#pragma once

#include <optional>
#include <string>

namespace app {

class Environment {
  public:
    enum class Folder { current, windows, system, temporary };

    virtual ~Environment() = default;

    // Full path of the program's own file.
    virtual std::string executablePath() = 0;
    // A special folder as the system reports it; empty when unknown.
    virtual std::string folder(Folder which) = 0;
    // The raw bytes of the data resource of that name, or nothing when it is missing.
    virtual std::optional<std::string> resource(const std::string& name) = 0;
    // Starts a command line (whose program is `program`) without waiting for it; failures,
    // including a missing program, are not reported.
    virtual void start(const std::string& program, const std::string& commandLine) = 0;
    // Starts a command line as start() does and waits for the program to end: true with its
    // exit code, false when it could not be started.
    virtual bool startAndWait(const std::string& program, const std::string& commandLine,
                              int& exitCode) = 0;
    // A new folder under the temporary folder that only this user may enter; empty when none
    // can be made.
    virtual std::string makePrivateFolder() = 0;
    // Deletes the folder and everything in it without following links, trying again for a few
    // seconds while something is in use; false when something remains.
    virtual bool removeFolder(const std::string& path) = 0;
};

// The environment of the running process: platform calls plus the platform's own resources.
class ProcessEnvironment : public Environment {
  public:
    using ResourceLookup = std::optional<std::string> (*)(const std::string& name);

    explicit ProcessEnvironment(ResourceLookup lookup) : lookup_(lookup) {}

    std::string executablePath() override;
    std::string folder(Folder which) override;
    std::optional<std::string> resource(const std::string& name) override;
    void start(const std::string& program, const std::string& commandLine) override;
    bool startAndWait(const std::string& program, const std::string& commandLine,
                      int& exitCode) override;
    std::string makePrivateFolder() override;
    bool removeFolder(const std::string& path) override;

  private:
    ResourceLookup lookup_;
};

}  // namespace app
