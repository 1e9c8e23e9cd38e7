// Stand-ins for the machine and the user in the stub's tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/Environment.h"
#include "app/FrontEnd.h"
#include "base/Exception.h"

namespace apptest {

class FakeEnvironment : public app::Environment {
  public:
    std::string executable;
    std::map<Folder, std::string> folders;
    std::map<std::string, std::string> resources;
    std::vector<std::string> started;
    // startAndWait: the exit code the program ends with, or false: it cannot be started.
    int exitCode = 0;
    bool startable = true;
    std::vector<std::string> waited;
    // makePrivateFolder: a new folder under this one (none when empty); what the program saw of
    // it while it ran; the folders removeFolder was given.
    std::string privateParent;
    std::vector<std::string> madeFolders;
    std::vector<std::string> removedFolders;
    bool presentWhileRunning = false;

    std::string executablePath() override { return executable; }
    std::string folder(Folder which) override { return folders[which]; }
    std::optional<std::string> resource(const std::string& name) override {
        const auto found = resources.find(name);
        if (found == resources.end()) {
            return std::nullopt;
        }
        return found->second;
    }
    void start(const std::string&, const std::string& commandLine) override {
        started.push_back(commandLine);
    }
    bool startAndWait(const std::string& program, const std::string& commandLine,
                      int& code) override {
        waited.push_back(commandLine);
        presentWhileRunning = std::filesystem::is_regular_file(program);
        code = exitCode;
        return startable;
    }
    std::string makePrivateFolder() override {
        if (privateParent.empty()) {
            return std::string();
        }
        const std::string folder = (std::filesystem::path(privateParent) /
                                    ("private" + std::to_string(madeFolders.size())))
                                       .string();
        std::filesystem::create_directories(folder);
        madeFolders.push_back(folder);
        return folder;
    }
    bool removeFolder(const std::string& path) override {
        removedFolders.push_back(path);
        std::filesystem::remove_all(path);
        return true;
    }
};

// Records what the run asked of the user, in order, and answers as told.
class FakeFrontEnd : public app::FrontEnd {
  public:
    bool declineConfirmation = false;
    bool cancelDestination = false;
    std::string typedDestination;  // empty keeps the offered folder
    int cancelAtAdvance = -1;      // the n-th advance (from 0) presses Cancel
    bool throwForeign = false;     // confirm() throws something outside the hierarchy
    bool declineLicense = false;

    std::vector<std::string> events;
    std::vector<std::uint32_t> advances;
    std::string offered;
    std::string error;
    std::string message;
    std::vector<std::string> notes;
    std::string license;  // the licence text shown

    // The texts the run handed over.
    const app::TextSettings& texts() const { return texts_; }

    void confirm() override {
        events.push_back("confirm");
        if (throwForeign) {
            throw std::runtime_error("foreign");
        }
        if (declineConfirmation) {
            throw brindle5::exception::Evacuation();
        }
    }
    std::string chooseDestination(const std::string& initial) override {
        events.push_back("destination");
        offered = initial;
        if (cancelDestination) {
            throw brindle5::exception::Evacuation();
        }
        return typedDestination.empty() ? initial : typedDestination;
    }
    void acceptLicense(const std::string& text) override {
        events.push_back("license");
        license = text;
        if (declineLicense) {
            throw brindle5::exception::Evacuation();
        }
    }
    void createProgress() override { events.push_back("create"); }
    void startProgress(std::uint32_t total) override {
        events.push_back("start " + std::to_string(total));
    }
    bool advanceProgress(std::uint32_t done) override {
        if (cancelled_) {
            return false;
        }
        if (static_cast<int>(advances.size()) == cancelAtAdvance) {
            cancelled_ = true;
        }
        advances.push_back(done);
        return true;  // as the window does: the press is seen by the caller through the flag
    }
    void showName(const std::string& name) override { events.push_back("name " + name); }
    void destroyProgress() override { events.push_back("destroy"); }
    bool isCancelled() const override { return cancelled_; }
    void showError(const std::string& text) override {
        events.push_back("error");
        error = text;
    }
    void showMessage(const std::string& text) override {
        events.push_back("message");
        message = text;
    }
    void note(const std::string& text) override { notes.push_back(text); }

  private:
    bool cancelled_ = false;
};

// How the platform's command line quotes a program path.
// Both platforms quote a program path with double quotes (the line is never read by a shell).
inline std::string quoted(const std::string& path) {
    return "\"" + path + "\"";
}

}  // namespace apptest
