#include "payload/sample/core.h"

#include <windows.h>

namespace {
wchar_t greeting[512];
}

const wchar_t* VorluneProductName() { return L"Vorlune 1.5"; }

const wchar_t* VorluneGreeting(const wchar_t* data_line) {
  // \u6b22\u8fce\u4f7f\u7528 = "welcome to", kept as escapes so the source stays ASCII.
  wsprintfW(greeting, L"\u6b22\u8fce\u4f7f\u7528 %s\r\nThis is Vorlune 1.5.\r\n\r\n%s",
            VorluneProductName(), data_line ? data_line : L"");
  return greeting;
}
