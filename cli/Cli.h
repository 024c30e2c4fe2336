#pragma once

#include <ostream>

namespace quill {

// Exit statuses of quillmark-cli.
inline constexpr int kExitDone = 0;
inline constexpr int kExitUsage = 1;     // unknown command, bad option, bad number
inline constexpr int kExitBadInput = 2;  // an input that cannot be read
inline constexpr int kExitBadOutput = 3; // an output that cannot be written

// Runs quillmark-cli with the given arguments; results go to out, messages to err.
int runCli(int argc, char** argv, std::ostream& out, std::ostream& err);

} // namespace quill
