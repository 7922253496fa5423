#include "runtime/file_dialog_win.h"

#include <commdlg.h>

#include <algorithm>

namespace vorlune {

std::optional<std::wstring> AskFileName(HWND owner, DWORD flags, std::wstring_view proposed,
                                        bool save) {
  // Room for the longest path the system accepts; the dialog writes the chosen path back here.
  constexpr std::size_t kCapacity = 32768;
  std::wstring file(kCapacity, L'\0');
  std::copy_n(proposed.begin(), std::min(proposed.size(), kCapacity - 1), file.begin());

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(kCapacity);
  dialog.Flags = flags;
  const BOOL confirmed = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
  if (confirmed == FALSE) return std::nullopt;
  file.resize(file.find(L'\0'));
  return file;
}

}  // namespace vorlune
