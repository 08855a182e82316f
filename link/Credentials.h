// Where the link's password comes from: the terminal without echo, one line of standard input, or
// a file that only its owner can read. Never the command line, where every user sees it.
#pragma once

#include <optional>
#include <string>

namespace quintar::link {

struct PasswordSource {
    enum class Kind { Terminal, Stdin, File } kind = Kind::Terminal;
    std::string file;
};

// The password, or nothing with `error` saying why.
std::optional<std::string> ReadPassword(const PasswordSource& source, const std::string& prompt, std::string& error);

// The password file's first line, if the file is a regular file owned by the effective user and
// neither group nor others may read or write it (mode 0600 or 0400).
std::optional<std::string> ReadPasswordFile(const std::string& path, std::string& error);

// Overwrites a secret before its memory is given back.
void Wipe(std::string& secret);

}  // namespace quintar::link
