// Writing lanzhou-cli's results so that no reader ever sees a half-written file.
#ifndef LANZHOU_CLI_ATOMIC_OUTPUT_H_
#define LANZHOU_CLI_ATOMIC_OUTPUT_H_

#include <string>
#include <string_view>

namespace lanzhou::cli {

// Writes `data` to a temporary file in the directory of `path` and renames it over `path`:
// readers see the old file or the whole new one, never a part. A symbolic link is followed
// (the file it names is replaced, the link stays). A new file gets the usual 0666 less the
// umask; a replaced file keeps its permission bits. On failure `path` is unchanged, the
// temporary file is removed, and `error` names the file.
bool ReplaceFile(const std::string& path, std::string_view data, std::string& error);

// Appends `data` to `path`, created when missing. All or nothing: when a write fails, the
// file is cut back to its length before the call.
bool AppendToFile(const std::string& path, std::string_view data, std::string& error);

// Writes all of `data` to standard output.
bool WriteStandardOutput(std::string_view data, std::string& error);

}  // namespace lanzhou::cli

#endif  // LANZHOU_CLI_ATOMIC_OUTPUT_H_
