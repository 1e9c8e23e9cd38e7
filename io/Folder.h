// Questions about paths on disk and the creation of folder chains.
#pragma once

#include <string>

namespace io {

// A file or a folder.
bool exists(const std::string& path);
// False for an empty path.
bool isDirectory(const std::string& path);
// Creates the folder and every missing folder above it, from the top down. A bare drive or an
// existing folder is left alone. Throws io::Exception "cannot create (directory) " + path.
void createFolder(const std::string& path);
// As createFolder, with one trailing separator removed first; an empty path does nothing.
void createFolderOf(const std::string& path);
// Creates the folder that will hold path.
void createParentFolders(const std::string& path);

}  // namespace io
