#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>
#include <utility>

#include "runtime/failure.h"
#include "runtime/services.h"
#include "runtime/shell_win.h"
#include "runtime/wide_win.h"

namespace vorlune {

ComApartment::ComApartment()
    : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}

ComApartment::~ComApartment() {
  // S_FALSE (already initialised the same way) also takes a reference that must be given back;
  // RPC_E_CHANGED_MODE took none: the thread belongs to a multithreaded apartment set up by
  // someone else, which serves just as well.
  if (SUCCEEDED(result_)) CoUninitialize();
}

bool ComApartment::Usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

namespace {

std::string HresultText(HRESULT result) {
  return SystemErrorText(static_cast<unsigned long>(result));
}

}  // namespace

bool MakeShellLink(const Text& link_path, const Text& target, const Text& description,
                   const Text& arguments, const Text& working_directory) {
  // The installation worker calls this on a thread of its own that never set up COM.
  ComApartment com;
  if (!com.Usable()) {
    SetFailureReason("无法创建快捷方式" + Quoted(link_path.View()) + "：" +
                     HresultText(com.Result()));
    return false;
  }
  ComPtr<IShellLinkW> link;
  HRESULT result = link.Create(CLSID_ShellLink);
  if (FAILED(result)) {
    SetFailureReason("无法创建快捷方式" + Quoted(link_path.View()) + "：" + HresultText(result));
    return false;
  }
  link->SetPath(Widen(target.View()).c_str());
  link->SetShowCmd(SW_SHOW);
  link->SetDescription(Widen(description.View()).c_str());
  link->SetArguments(Widen(arguments.View()).c_str());
  link->SetWorkingDirectory(Widen(working_directory.View()).c_str());

  // A name without any dot gets the extension the shell knows links by.
  std::string path(link_path.View());
  if (path.find('.') == std::string::npos) path += ".lnk";

  ComPtr<IPersistFile> file;
  result = link.As(file);
  if (SUCCEEDED(result)) result = file->Save(Widen(path).c_str(), TRUE);
  if (FAILED(result)) {
    SetFailureReason("无法保存快捷方式" + Quoted(path) + "：" + HresultText(result));
    return false;
  }
  return true;
}

}  // namespace vorlune
