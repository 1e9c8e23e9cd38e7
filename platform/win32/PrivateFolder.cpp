#include "platform/PrivateFolder.h"

#include <windows.h>

#include <memory>

#include "platform/Process.h"
#include "platform/win32/Wide.h"

namespace platform {

using win32::fileName;

namespace {

// The user this process runs as, from its token; null when the system cannot tell.
std::unique_ptr<BYTE[]> currentUser() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return nullptr;
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::unique_ptr<BYTE[]> user = size > 0 ? std::make_unique<BYTE[]>(size) : nullptr;
    if (!user || !GetTokenInformation(token, TokenUser, user.get(), size, &size)) {
        user.reset();
    }
    CloseHandle(token);
    return user;
}

// A folder that this user alone may enter: a protected access list (nothing inherited from the
// temporary folder) with one entry, full access for the user, passed on to everything inside.
bool createPrivateDirectory(const std::string& path) {
    const std::unique_ptr<BYTE[]> user = currentUser();
    if (!user) {
        return false;
    }
    PSID sid = reinterpret_cast<TOKEN_USER*>(user.get())->User.Sid;
    const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid);
    const std::unique_ptr<BYTE[]> aclBytes = std::make_unique<BYTE[]>(aclSize);
    PACL acl = reinterpret_cast<PACL>(aclBytes.get());
    SECURITY_DESCRIPTOR descriptor;
    if (!InitializeAcl(acl, aclSize, ACL_REVISION) ||
        !AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                               GENERIC_ALL, sid) ||
        !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) ||
        !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
        return false;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
    return CreateDirectoryW(fileName(path).c_str(), &attributes) != 0;
}

void appendHex(std::string& text, DWORD value) {
    for (int shift = 28; shift >= 0; shift -= 4) {
        text += "0123456789abcdef"[(value >> shift) & 0xF];
    }
}

}  // namespace

std::string makePrivateTemporaryFolder() {
    std::string parent = temporaryFolder();
    if (parent.empty()) {
        return std::string();
    }
    if (parent.back() != '\\' && parent.back() != '/') {
        parent += '\\';
    }
    // A name taken already (by anything, a link too) is never used: the next one is tried.
    for (DWORD attempt = 0; attempt < 100; ++attempt) {
        std::string path = parent + "zipsfx-";
        appendHex(path, GetCurrentProcessId() ^ (attempt << 20));
        appendHex(path, GetTickCount() + attempt * 7919);
        if (createPrivateDirectory(path)) {
            return path;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            return std::string();
        }
    }
    return std::string();
}

bool removeTree(const std::string& path) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(fileName(path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const wchar_t* name = found.cFileName;
            if ((name[0] == L'.' && name[1] == L'\0') ||
                (name[0] == L'.' && name[1] == L'.' && name[2] == L'\0')) {
                continue;
            }
            const std::string child = path + "\\" + win32::narrow(name, wcslen(name));
            const DWORD attributes = found.dwFileAttributes;
            if (attributes & FILE_ATTRIBUTE_READONLY) {
                SetFileAttributesW(fileName(child).c_str(),
                                   attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
            }
            if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                // A junction or folder link goes itself; what it leads to is left alone.
                if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                    removeTree(child);
                }
                RemoveDirectoryW(fileName(child).c_str());
            } else {
                DeleteFileW(fileName(child).c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(fileName(path).c_str());
    return GetFileAttributesW(fileName(path).c_str()) == INVALID_FILE_ATTRIBUTES;
}

void pauseMilliseconds(unsigned milliseconds) {
    Sleep(milliseconds);
}

}  // namespace platform
