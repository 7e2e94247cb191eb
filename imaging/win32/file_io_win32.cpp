// Windows half of the file layer: wide-character file functions, and
// FormatMessageW for the system's message of a failure.
#include <algorithm>

#include "imaging/exceptions.h"
#include "imaging/file_io.h"
#include "imaging/win32/kernel_handle.h"
#include "imaging/win32/wide_text.h"

namespace qv {

using win::KernelHandle;
using win::Narrow;
using win::Widen;

namespace {

std::string SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = n ? Narrow(std::wstring(buffer, n)) : std::string();
  if (buffer) LocalFree(buffer);
  return text;
}

}  // namespace

std::string ExpandFileName(const std::string& path) {
  std::wstring wide = Widen(path);
  if (wide.empty()) return path;
  DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
  if (n == 0 || n >= full.size()) return path;
  full.resize(n);
  return Narrow(full);
}

TFileContents ReadFileContents(const std::string& path, size_t limit) {
  const std::string full = ExpandFileName(path);
  KernelHandle file(CreateFileW(Widen(full).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid())
    throw EFOpenError(FileErrorText(kCannotOpenFileMessage, full, SystemMessage(GetLastError())));
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size))
    throw EFOpenError(FileErrorText(kCannotOpenFileMessage, full, SystemMessage(GetLastError())));

  TFileContents result;
  result.Size = static_cast<uint64_t>(size.QuadPart);
  size_t want = static_cast<size_t>(std::min<uint64_t>(result.Size, limit));
  result.Bytes.resize(want);
  size_t got = 0;
  while (got < want) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(want - got, 1u << 30));
    DWORD n = 0;
    if (!ReadFile(file.Get(), result.Bytes.data() + got, chunk, &n, nullptr))
      throw EReadError(kStreamReadErrorMessage);
    if (n == 0) break;  // the file shrank meanwhile
    got += n;
  }
  result.Bytes.resize(got);
  if (got < want) result.Size = got;
  return result;
}

void WriteFileReplacing(const std::string& path, std::span<const uint8_t> data) {
  const std::string full = ExpandFileName(path);
  const std::wstring target = Widen(full);
  auto createError = [&](DWORD code) {
    return EFCreateError(FileErrorText(kCannotCreateFileMessage, full, SystemMessage(code)));
  };

  // Would the target itself let us replace it? A read-only file, a folder,
  // a file another program holds open, or one we may not write must fail
  // here, before anything is written.
  DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
      throw createError(ERROR_ACCESS_DENIED);
    KernelHandle probe(CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!probe.Valid()) throw createError(GetLastError());
  }

  // The new file goes beside the target, so that putting it in place is a
  // rename within one volume.
  std::wstring folder = target;
  size_t cut = folder.find_last_of(L"\\/");
  folder.resize(cut == std::wstring::npos ? 0 : cut + 1);
  if (folder.empty()) folder = L".";
  // A missing folder would otherwise be reported as an invalid directory
  // name by GetTempFileNameW; say what CreateFileW would have said.
  DWORD folderAttributes = GetFileAttributesW(folder.c_str());
  if (folderAttributes == INVALID_FILE_ATTRIBUTES || !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY))
    throw createError(ERROR_PATH_NOT_FOUND);
  wchar_t temp[MAX_PATH + 16] = {};
  if (folder.size() > MAX_PATH - 14 || !GetTempFileNameW(folder.c_str(), L"qv", 0, temp)) {
    DWORD code = folder.size() > MAX_PATH - 14 ? ERROR_FILENAME_EXCED_RANGE : GetLastError();
    throw createError(code);
  }
  KernelHandle file(CreateFileW(temp, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    DWORD code = GetLastError();
    DeleteFileW(temp);
    throw createError(code);
  }
  bool written = true;
  for (size_t done = 0; written && done < data.size();) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 30));
    DWORD n = 0;
    written = WriteFile(file.Get(), data.data() + done, chunk, &n, nullptr) && n == chunk;
    done += n;
  }
  written = written && FlushFileBuffers(file.Get());
  if (!file.Close()) written = false;
  if (!written) {
    DeleteFileW(temp);
    throw EWriteError(kStreamWriteErrorMessage);
  }
  if (!MoveFileExW(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DWORD code = GetLastError();
    DeleteFileW(temp);
    throw createError(code);
  }
}

}  // namespace qv
