// vorlune-window-timer RUNS CAPTION PROGRAM [CAPTION PROGRAM ...]
// Starts each program in turn, RUNS rounds, and measures the time from CreateProcess until a
// visible top-level window with the given caption exists; then closes the program (WM_CLOSE,
// terminated if it does not end within ten seconds). The programs alternate within each round
// so that a machine's slow spells hit all of them alike. Prints one line per program:
//   CAPTION<TAB>median ms<TAB>each run's ms ...
// Exit 1 when a window never showed within 60 seconds.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Program {
  std::wstring caption;
  std::wstring path;
  std::vector<double> samples;
};

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

HWND VisibleWindow(const std::wstring& caption) {
  HWND window = FindWindowW(nullptr, caption.c_str());
  return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

// Milliseconds until the window showed, or a negative number when it never did.
double TimeOnce(const Program& program) {
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  std::wstring command = L"\"" + program.path + L"\"";
  const std::wstring folder = FolderOf(program.path);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(program.path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &info)) {
    std::fwprintf(stderr, L"cannot start %ls (error %lu)\n", program.path.c_str(), GetLastError());
    return -1;
  }
  Handle process(info.hProcess);
  Handle thread(info.hThread);
  HWND window = nullptr;
  double elapsed = 0;
  for (;;) {
    window = VisibleWindow(program.caption);
    QueryPerformanceCounter(&now);
    elapsed = Seconds(start, now, frequency);
    if (window != nullptr || elapsed > 60) break;
    if (WaitForSingleObject(process.get(), 1) == WAIT_OBJECT_0) break;
  }
  if (window != nullptr) PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.get(), 10000) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), 10000);
  }
  return window != nullptr ? elapsed * 1000 : -1;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 != 0 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4 || argc % 2 != 0) {
    std::fwprintf(stderr, L"usage: %ls RUNS CAPTION PROGRAM [CAPTION PROGRAM ...]\n", argv[0]);
    return 2;
  }
  const int runs = std::max(1, _wtoi(argv[1]));
  std::vector<Program> programs;
  for (int i = 2; i + 1 < argc; i += 2) programs.push_back({argv[i], argv[i + 1], {}});

  // One untimed round first: the first start of a program pays for loading its libraries.
  for (const Program& program : programs) {
    if (TimeOnce(program) < 0) return 1;
  }
  for (int round = 0; round < runs; ++round) {
    for (std::size_t k = 0; k < programs.size(); ++k) {
      Program& program = programs[(k + static_cast<std::size_t>(round)) % programs.size()];
      const double ms = TimeOnce(program);
      if (ms < 0) return 1;
      program.samples.push_back(ms);
    }
  }
  for (const Program& program : programs) {
    std::wprintf(L"%ls\t%.1f", program.caption.c_str(), Median(program.samples));
    for (double ms : program.samples) std::wprintf(L"\t%.1f", ms);
    std::wprintf(L"\n");
  }
  return 0;
}
