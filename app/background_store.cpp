#include "app/background_store.h"

#include "imaging/bmp.h"

namespace qv {

std::string SetDataFailedText() {
  std::string text = kSetDataFailedMessage;
  text.replace(text.find("%s"), 2, kToolbarValueName);
  return text;
}

void TBackgroundHost::SaveBitmap(const TBitmap& picture, const std::string& path) {
  SaveBitmapToFile(picture, path);
}

TBitmap TBackgroundHost::LoadBitmap(const std::string& path) { return LoadBitmapFromFile(path); }

void ApplyBackground(TBackgroundHost& host) {
  const std::optional<std::string> path = host.ExecuteSaveDialog();
  if (!path) {
    host.SetStatusText(kStatusApplyCancelled);
    return;
  }
  host.SaveBitmap(host.PreviewPicture(), *path);
  host.WriteToolbarBitmap(*path);
  host.SetStatusText(kStatusApplied);
}

void DefaultBackground(TBackgroundHost& host) {
  host.WriteToolbarBitmap("");
  host.SetStatusText(kStatusDefaultRestored);
}

void LoadBackground(TBackgroundHost& host) {
  const std::optional<std::string> path = host.ExecuteOpenDialog();
  if (!path) return;
  TBitmap picture = host.LoadBitmap(*path);
  if (picture.Width() != host.PreviewWidth() || picture.Height() != host.PreviewHeight()) {
    host.SetStatusText(kStatusNotCompatible);
    return;
  }
  host.SetPreviewPicture(std::move(picture));
  host.SetStatusText(kStatusLoaded);
}

}  // namespace qv
