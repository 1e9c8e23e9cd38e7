// The password of `--password-file FILE`: for runs nobody watches, without the password on a
// command line that other users of the machine can see.
#pragma once

#include <string>

namespace tools {

// The file's first line, without its end (LF or CR LF): the password's UTF-8 bytes as they are.
// Throws io::Exception when the file cannot be read.
std::string readPasswordFile(const std::string& path);

}  // namespace tools
