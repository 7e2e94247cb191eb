// Apply, Default and Load: the commands that connect the preview with the
// toolbar background the system shows. The window and the system are
// reached through TBackgroundHost, so the rules here run and are tested on
// any platform; the Windows program implements the host with its dialogs,
// its controls and the registry.
#pragma once

#include <optional>
#include <string>

#include "imaging/bitmap.h"

namespace qv {

inline constexpr const char* kToolbarKeyPath = "\\Software\\Microsoft\\Internet Explorer\\Toolbar\\";
inline constexpr const char* kToolbarValueName = "BackBitmapShell";
inline constexpr const char* kSetDataFailedMessage = "Failed to set data for '%s'";

inline constexpr const char* kStatusApplied = "Last action: background applied successfully";
inline constexpr const char* kStatusApplyCancelled = "Last action: background change was cancel";
inline constexpr const char* kStatusDefaultRestored =
    "Last action: default background restored successfully";
inline constexpr const char* kStatusLoaded = "Image loaded, click Apply to use it as background";
inline constexpr const char* kStatusNotCompatible = "Image format is not compatible";

// "Failed to set data for 'BackBitmapShell'".
std::string SetDataFailedText();

class TBackgroundHost {
 public:
  virtual ~TBackgroundHost() = default;
  // The path the user chose (UTF-8), or nothing when the dialog was cancelled.
  virtual std::optional<std::string> ExecuteSaveDialog() = 0;
  virtual std::optional<std::string> ExecuteOpenDialog() = 0;
  // Records the value under the toolbar key of the current user (creating
  // the key when missing); raises "Failed to set data for 'BackBitmapShell'"
  // when the value cannot be set as given.
  virtual void WriteToolbarBitmap(const std::string& path) = 0;
  virtual const TBitmap& PreviewPicture() const = 0;
  virtual void SetPreviewPicture(TBitmap picture) = 0;
  virtual int PreviewWidth() const = 0;
  virtual int PreviewHeight() const = 0;
  virtual void SetStatusText(const std::string& text) = 0;
  // BMP files: by default the imaging library's reader and writer.
  virtual void SaveBitmap(const TBitmap& picture, const std::string& path);
  virtual TBitmap LoadBitmap(const std::string& path);
};

// Save dialog, file, registry, status. A failure leaves in place what was
// already done (a written file stays when the registry refuses the path).
void ApplyBackground(TBackgroundHost& host);
// Empty registry value, status; no file is touched and the preview stays.
void DefaultBackground(TBackgroundHost& host);
// Open dialog, reading, size check (width first), preview, status.
void LoadBackground(TBackgroundHost& host);

}  // namespace qv
