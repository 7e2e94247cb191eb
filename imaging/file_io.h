// Whole-file reads and writes with the program's file error messages. Paths
// are UTF-8; the platform half (posix/ or win32/, chosen by the build) turns
// them into what the system wants and supplies the system's own message
// text for a failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qv {

inline constexpr const char* kCannotOpenFileMessage = "Cannot open file \"%s\". %s";
inline constexpr const char* kCannotCreateFileMessage = "Cannot create file \"%s\". %s";
inline constexpr const char* kStreamReadErrorMessage = "Stream read error";
inline constexpr const char* kStreamWriteErrorMessage = "Stream write error";

// The full path of a file name, as messages show it.
std::string ExpandFileName(const std::string& path);

// A system message as the file errors quote it: without the trailing spaces,
// control characters (line breaks) and full stops the system puts there.
std::string TrimSystemMessage(std::string message);

// Fills "...\"%s\". %s" with the full path and the trimmed system message.
std::string FileErrorText(const char* format, const std::string& fullPath,
                          const std::string& systemMessage);

struct TFileContents {
  std::vector<uint8_t> Bytes;  // the first min(Size, limit) bytes
  uint64_t Size = 0;           // the size of the whole file
};

// Opens an existing file (others may read it meanwhile, not write) and reads
// at most `limit` bytes of it. Failing to open raises EFOpenError with
// "Cannot open file"; a failing read raises EReadError "Stream read error".
TFileContents ReadFileContents(const std::string& path, size_t limit);

// Creates or replaces a file with the given bytes. The bytes go to a new
// file beside the target, which takes the target's place only once it is
// complete, so a failed write never leaves a damaged file where a good one
// stood. A target that cannot be created or replaced (read-only, no access,
// missing folder) raises EFCreateError with "Cannot create file"; a write
// that fails part-way raises EWriteError "Stream write error" and leaves
// the target as it was.
void WriteFileReplacing(const std::string& path, std::span<const uint8_t> data);

}  // namespace qv
