// How the "RUN" text is read, in one place for the tool that writes it, the stub that starts it
// and the POSIX backend that passes it to the program without a shell:
//   - the program is the text up to the first blank or tab, or, when the text begins with a
//     double quote, the text up to the closing quote; the rest are its arguments;
//   - the arguments are split as Windows programs split their command line: blanks and tabs
//     separate, double quotes group (and are removed), 2n backslashes before a quote give n
//     backslashes and the quote groups, 2n+1 give n backslashes and a literal quote, and
//     backslashes elsewhere are literal.
// No character is special otherwise: ';', '|', '&', '$' and '`' are ordinary text.
#pragma once

#include <string>
#include <vector>

namespace base {

struct RunText {
    std::string program;    // unquoted
    std::string arguments;  // the rest, as written (its leading blank kept)
};

inline RunText splitRunText(const std::string& run) {
    RunText result;
    if (run.empty()) {
        return result;
    }
    if (run[0] == '"') {
        const std::size_t close = run.find('"', 1);
        result.program = run.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        result.arguments = close == std::string::npos ? std::string() : run.substr(close + 1);
    } else {
        const std::size_t blank = run.find_first_of(" \t");
        result.program = run.substr(0, blank);
        result.arguments = blank == std::string::npos ? std::string() : run.substr(blank);
    }
    return result;
}

inline std::vector<std::string> splitArguments(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    std::size_t backslashes = 0;
    for (char c : line) {
        if (c == '\\') {
            ++backslashes;
            inWord = true;
            continue;
        }
        if (c == '"') {
            word.append(backslashes / 2, '\\');
            if (backslashes % 2 == 1) {
                word += '"';
            } else {
                quoted = !quoted;
            }
            backslashes = 0;
            inWord = true;
            continue;
        }
        word.append(backslashes, '\\');
        backslashes = 0;
        if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
            continue;
        }
        word += c;
        inWord = true;
    }
    word.append(backslashes, '\\');
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

// Quotes one word so that splitArguments gives it back unchanged.
inline std::string quoteArgument(const std::string& word) {
    if (!word.empty() && word.find_first_of(" \t\"") == std::string::npos) {
        return word;
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            quoted.append(backslashes * 2 + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

}  // namespace base
