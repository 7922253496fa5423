// The window services in-process, on a window of the test's own: pages, property rules, threads,
// keys, painting, the file dialog.
#include <windows.h>
#include <ole2.h>

#include <png.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "runtime/control_classes_win.h"
#include "runtime/picture_win.h"
#include "runtime/wide_win.h"
#include "runtime/window.h"
#include "runtime/window_description.h"
#include "tests/ui_driver.h"

namespace vorlune {
namespace {

namespace ui = ui_driver;

// A small PNG made by libpng, for pictures whose pixels the test knows.
std::vector<unsigned char> EncodePng(int width, int height, const std::vector<std::uint8_t>& rgba) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
  std::vector<unsigned char> png(size);
  png_image_write_to_memory(&image, png.data(), &size, 0, rgba.data(), 0, nullptr);
  png.resize(size);
  return png;
}

// The background is red on its left half and blue on its right; the corner picture is green.
const std::vector<unsigned char>& BackgroundPng() {
  static const auto png = EncodePng(2, 1, {255, 0, 0, 255, 0, 0, 255, 255});
  return png;
}
const std::vector<unsigned char>& CornerPng() {
  static const auto png = EncodePng(1, 1, {0, 255, 0, 255});
  return png;
}

constexpr std::uint32_t kWindow = 0x52010099;
constexpr char kCaption[] = "窗口测试 Window test";
constexpr std::uint32_t kWelcomeLabel = 0x16010101;
constexpr std::uint32_t kNext = 0x16010102;  // default button, page 0
constexpr std::uint32_t kLocation = 0x16010103;
constexpr std::uint32_t kInstall = 0x16010104;  // default button, page 1
constexpr std::uint32_t kDialog = 0x16010105;
constexpr std::uint32_t kProgress = 0x16010106;
constexpr std::uint32_t kLastPageLabel = 0x16010107;
constexpr std::uint32_t kCancel = 0x16010108;
constexpr std::uint32_t kZip = 0x16010109;
constexpr std::uint32_t kPicture = 0x1601010A;
constexpr std::uint32_t kPages = 0x1601010B;

constexpr FontDescription kNoFont{};
using K = ControlKind;

// clang-format off
constexpr std::array kControls = {
    ControlDescription{"welcome", K::kLabel, kWelcomeLabel, kPages, 0, {10, 10, 200, 40}, "蓝色标签 Blue", {24, 700}, 0x0000FFu},
    ControlDescription{"next", K::kButton, kNext, kPages, 0, {200, 150, 64, 24}, "下一步", kNoFont, kBlack, kSystemButtonFace, false, true, true},
    ControlDescription{"location", K::kEditBox, kLocation, kPages, 1, {10, 50, 200, 24}, "", kNoFont, kBlack, kSystemButtonFace, false, false, true},
    ControlDescription{"install", K::kButton, kInstall, kPages, 1, {200, 150, 64, 24}, "安装", kNoFont, kBlack, kSystemButtonFace, false, true, true},
    ControlDescription{"dialog", K::kCommonDialog, kDialog, kPages, 1, {300, 100, 26, 26}, "", kNoFont, kBlack, kSystemButtonFace, false, false, false, false},
    ControlDescription{"progress", K::kProgressBar, kProgress, kPages, 2, {10, 70, 300, 24}, ""},
    ControlDescription{"last", K::kLabel, kLastPageLabel, kPages, 6, {10, 10, 100, 24}, "最后"},
    ControlDescription{"cancel", K::kButton, kCancel, kNoParent, kNoPage, {400, 230, 56, 24}, "取消", kNoFont, kBlack, kSystemButtonFace, false, false, true},
    ControlDescription{"zip", K::kZip, kZip, kNoParent, kNoPage, {100, 140, 26, 26}, "", kNoFont, kBlack, kSystemButtonFace, false, false, false, false},
    ControlDescription{"picture", K::kPictureBox, kPicture, kNoParent, kNoPage, {8, 8, 56, 56}, ""},
    ControlDescription{"pages", K::kPageContainer, kPages, kNoParent, kNoPage, {120, 40, 352, 180}, ""},
};
// clang-format on

constexpr std::array<std::uint32_t, 2> kPage0 = {kWelcomeLabel, kNext};
constexpr std::array<std::uint32_t, 3> kPage1 = {kLocation, kInstall, kDialog};
constexpr std::array<std::uint32_t, 1> kPage2 = {kProgress};
constexpr std::array<std::uint32_t, 1> kPage6 = {kLastPageLabel};
constexpr std::array<std::span<const std::uint32_t>, 7> kPageLists = {kPage0, kPage1, kPage2, {},
                                                                      {},     {},     kPage6};
// No overwrite prompt: the test confirms names of files that may exist.
constexpr std::array kDialogs = {
    FileDialogDescription{kDialog, 1, OFN_HIDEREADONLY | OFN_PATHMUSTEXIST}};

struct Record {
  int created = 0;
  bool visible_when_created = true;
  bool controls_when_created = false;
  int next_clicks = 0;
  int install_clicks = 0;
  int cancel_clicks = 0;
};
Record record;
bool end_on_cancel = false;  // the cancel button then ends the program, as 取消 does

HWND FindTestWindow() { return FindWindowW(kTopWindowClass, Widen(kCaption).c_str()); }

void OnCreated() {
  ++record.created;
  HWND window = FindTestWindow();
  record.visible_when_created = window != nullptr && IsWindowVisible(window);
  record.controls_when_created = window != nullptr && ui::FindControl(window, kProgress) != nullptr;
}

constexpr std::array kEvents = {
    EventBinding{kWindow, EventKind::kCreated, &OnCreated},
    EventBinding{kNext, EventKind::kClicked, [] { ++record.next_clicks; }},
    EventBinding{kInstall, EventKind::kClicked, [] { ++record.install_clicks; }},
    EventBinding{kCancel, EventKind::kClicked,
                 [] {
                   ++record.cancel_clicks;
                   if (end_on_cancel) EndProgram(0);
                 }},
};

const WindowDescription& TestWindow() {
  static const WindowDescription description{
      .number = kWindow,
      .caption = kCaption,
      .stored_place = {50, 50, 507, 318},
      .controls = kControls,
      .pages = kPageLists,
      .page_container = kPages,
      .background_png = BackgroundPng(),
      .picture_box = kPicture,
      .picture_box_png = CornerPng(),
      .icon_resource = 1,  // window_test.rc
      .dialogs = kDialogs,
      .events = kEvents,
  };
  return description;
}

// Ways a run ends, each tried in a process of its own: the test program starts itself with
// kEndVariable naming the way, and the end routines write their names to the file in kLogVariable.
constexpr wchar_t kEndVariable[] = L"VORLUNE_WINDOW_TEST_END";
constexpr wchar_t kLogVariable[] = L"VORLUNE_WINDOW_TEST_LOG";
constexpr std::uint32_t kUndescribedWindow = 0x520100FF;

std::wstring EnvironmentVariable(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

void AppendToLog(char routine) {
  std::ofstream(std::filesystem::path(EnvironmentVariable(kLogVariable)), std::ios::app) << routine;
}

// Runs before gtest's main in the child and never returns there.
bool EndAsAsked() {
  const std::wstring way = EnvironmentVariable(kEndVariable);
  if (way.empty()) return false;
  InitRuntime({&TestWindow()});
  RegisterCleanup([] { AppendToLog('A'); });
  RegisterCleanup([] { AppendToLog('B'); });
  if (way == L"end") EndProgram(7);
  if (way == L"fatal") ShowStartupWindow(kUndescribedWindow);
  ShowStartupWindow(kWindow);
  HWND window = FindTestWindow();
  if (way == L"close") PostMessageW(window, WM_CLOSE, 0, 0);
  if (way == L"cancel") {
    end_on_cancel = true;
    PostMessageW(ui::FindControl(window, kCancel), BM_CLICK, 0, 0);
  }
  RunMessageLoop();
  EndProgram(0);
}
const bool ended_as_asked = EndAsAsked();

std::int32_t ReadNumber(std::uint32_t control, int property) {
  const PropertyValue value = GetControlProperty(kWindow, control, property, kWholeProperty);
  const auto* number = std::get_if<std::int32_t>(&value);
  return number != nullptr ? *number : INT_MIN;
}

// Absent reads come back as "(absent)", so that they differ from an empty text.
std::string ReadText(std::uint32_t control, int property) {
  PropertyValue value = GetControlProperty(kWindow, control, property, kWholeProperty);
  const Text* text = std::get_if<Text>(&value);
  if (text == nullptr) return "(not a text)";
  return text->IsAbsent() ? "(absent)" : std::string(text->View());
}

void SetNumber(std::uint32_t control, int property, std::int32_t value) {
  SetControlProperty(kWindow, control, property, kWholeProperty, value);
}

void SetText(std::uint32_t control, int property, std::string_view value) {
  SetControlProperty(kWindow, control, property, kWholeProperty, Text::Owned(std::string(value)));
}

void PumpMessages() {
  MSG message{};
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// Keeps the UI thread answering until `done` is set by another thread.
void PumpUntil(const std::atomic<bool>& done) {
  while (!done) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    PumpMessages();
  }
}

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static const bool initialised = [] {
      InitRuntime({&TestWindow()});
      return true;
    }();
    (void)initialised;
  }

  void SetUp() override {
    record = {};
    SetCloseBlocked(false);
    ShowStartupWindow(kWindow);
    window_ = FindTestWindow();
    ASSERT_NE(window_, nullptr);
    RedrawWindow(window_, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }

  void TearDown() override {
    if (IsWindow(window_)) DestroyWindow(window_);
    PumpMessages();
  }

  HWND Control(std::uint32_t number) const { return ui::FindControl(window_, number); }

  HWND window_ = nullptr;
};

TEST_F(WindowTest, RuntimeWorksFromTheProgramFolderWithOleReady) {
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(),
                                          std::filesystem::path(program).parent_path()));
  // S_FALSE: OLE was initialised on this thread already.
  const HRESULT again = OleInitialize(nullptr);
  EXPECT_EQ(again, S_FALSE);
  if (SUCCEEDED(again)) OleUninitialize();
}

TEST_F(WindowTest, FiresTheCreationEventOnceBeforeShowing) {
  EXPECT_EQ(record.created, 1);
  EXPECT_TRUE(record.controls_when_created) << "the controls must exist when the event fires";
  EXPECT_FALSE(record.visible_when_created) << "the window must show only after the event";
  EXPECT_TRUE(IsWindowVisible(window_));
}

int IconWidth(HICON icon) {
  ICONINFO info{};
  if (icon == nullptr || !GetIconInfo(icon, &info)) return 0;
  BITMAP bitmap{};
  GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
  if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
  if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
  return bitmap.bmWidth;
}

TEST_F(WindowTest, UsesTheIconResourceAsLargeAndSmallIcon) {
  EXPECT_EQ(IconWidth(ui::WindowIcon(window_, ICON_BIG)), GetSystemMetrics(SM_CXICON));
  EXPECT_EQ(IconWidth(ui::WindowIcon(window_, ICON_SMALL)), GetSystemMetrics(SM_CXSMICON));
}

TEST_F(WindowTest, StacksChildrenInStoredOrderFirstOnTop) {
  const std::vector<HWND> window_children = {Control(kCancel), Control(kZip), Control(kPicture),
                                             Control(kPages)};
  EXPECT_EQ(ui::Children(window_), window_children);
  const std::vector<HWND> page_children = {
      Control(kWelcomeLabel), Control(kNext),     Control(kLocation),     Control(kInstall),
      Control(kDialog),       Control(kProgress), Control(kLastPageLabel)};
  EXPECT_EQ(ui::Children(Control(kPages)), page_children);
}

struct PageCase {
  std::int32_t written;
  std::int32_t read;
};

TEST_F(WindowTest, PageWritesAreClampedAndShowOnlyThatPage) {
  const PageCase cases[] = {{1, 1},       {7, 6}, {-1, 0}, {2, 2}, {INT_MAX, 6},
                            {INT_MIN, 0}, {6, 6}, {3, 3},  {0, 0}};
  // The focus stays where it is whatever page shows.
  SetFocus(Control(kCancel));
  for (const PageCase& c : cases) {
    SCOPED_TRACE("page written: " + std::to_string(c.written));
    SetNumber(kPages, kPropertyCurrentPage, c.written);
    EXPECT_EQ(ReadNumber(kPages, kPropertyCurrentPage), c.read);
    for (std::size_t page = 0; page < kPageLists.size(); ++page) {
      for (std::uint32_t number : kPageLists[page]) {
        const bool component = number == kDialog;
        EXPECT_EQ(ui::IsVisible(Control(number)),
                  !component && page == static_cast<std::size_t>(c.read))
            << "control 0x" << std::hex << number << " of page " << std::dec << page;
      }
    }
    EXPECT_TRUE(ui::IsVisible(Control(kCancel)));
    EXPECT_TRUE(ui::IsVisible(Control(kPicture)));
    EXPECT_TRUE(ui::IsVisible(Control(kPages)));
    EXPECT_FALSE(ui::IsVisible(Control(kZip)));
    EXPECT_EQ(GetFocus(), Control(kCancel));
  }
}

TEST_F(WindowTest, ProgressPositionStaysWithinItsRange) {
  const std::pair<std::int32_t, std::int32_t> cases[] = {
      {20, 20}, {-5, 0}, {100, 100}, {150, 100}, {INT_MIN, 0}, {INT_MAX, 100}, {70, 70}, {0, 0}};
  EXPECT_EQ(ReadNumber(kProgress, kPropertyProgressPosition), 0);
  for (const auto& [written, read] : cases) {
    SetNumber(kProgress, kPropertyProgressPosition, written);
    EXPECT_EQ(ReadNumber(kProgress, kPropertyProgressPosition), read) << "written " << written;
    EXPECT_EQ(ui::ProgressPosition(Control(kProgress)), read) << "written " << written;
  }
}

TEST_F(WindowTest, TextsRoundTripThroughTheControls) {
  struct TextCase {
    std::uint32_t control;
    int property;
    const char* text;
  };
  const TextCase cases[] = {
      {kLocation, kPropertyEditContent, "C:\\用户\\应用数据\\Vorlune1.5"},
      {kInstall, kPropertyButtonCaption, "完成"},
      {kDialog, kPropertyDialogFileName, "Vorlune1.5"},
      {kDialog, kPropertyDialogFileName, "D:\\目录 with blanks\\文件"},
  };
  for (const TextCase& c : cases) {
    SetText(c.control, c.property, c.text);
    EXPECT_EQ(ReadText(c.control, c.property), c.text);
  }
  // What the user sees is the same text, not its bytes read in another code page.
  EXPECT_EQ(ui::Text(Control(kLocation)), "C:\\用户\\应用数据\\Vorlune1.5");
  EXPECT_EQ(ui::Text(Control(kInstall)), "完成");

  // Read texts are absent when empty.
  SetText(kLocation, kPropertyEditContent, "");
  EXPECT_EQ(ReadText(kLocation, kPropertyEditContent), "(absent)");
  SetControlProperty(kWindow, kDialog, kPropertyDialogFileName, kWholeProperty, Text{});
  EXPECT_EQ(ReadText(kDialog, kPropertyDialogFileName), "(absent)");

  // The edit box takes more than the 32767 characters a user could type by default.
  const std::string long_text(40000, 'x');
  SetText(kLocation, kPropertyEditContent, long_text);
  EXPECT_EQ(ReadText(kLocation, kPropertyEditContent).size(), long_text.size());
}

TEST_F(WindowTest, DisabledPropertyEnablesAndDisablesAnyControl) {
  for (std::uint32_t number : {kCancel, kLocation, kProgress}) {
    SetNumber(number, kPropertyDisabled, 1);
    EXPECT_EQ(ReadNumber(number, kPropertyDisabled), 1);
    EXPECT_FALSE(ui::IsEnabled(Control(number)));
    SetNumber(number, kPropertyDisabled, 0);
    EXPECT_EQ(ReadNumber(number, kPropertyDisabled), 0);
    EXPECT_TRUE(ui::IsEnabled(Control(number)));
  }
}

// What a thread started by RunInThread observed right after each of its calls returned.
struct WorkerView {
  std::atomic<bool> done{false};
  DWORD thread = 0;
  bool progress_page_showing = false;
  bool cancel_disabled = false;
  std::int32_t position = -1;
  std::string location;
  std::string caption;
  std::int32_t page_after = -1;
};
WorkerView worker_view;

void WorkOnTheWindow() {
  WorkerView& view = worker_view;
  view.thread = GetCurrentThreadId();
  HWND window = FindTestWindow();
  SetNumber(kPages, kPropertyCurrentPage, 2);
  view.progress_page_showing = IsWindowVisible(ui::FindControl(window, kProgress)) != FALSE;
  SetNumber(kCancel, kPropertyDisabled, 1);
  view.cancel_disabled = IsWindowEnabled(ui::FindControl(window, kCancel)) == FALSE;
  SetNumber(kProgress, kPropertyProgressPosition, 40);
  view.position = ReadNumber(kProgress, kPropertyProgressPosition);
  view.location = ReadText(kLocation, kPropertyEditContent);
  SetText(kCancel, kPropertyButtonCaption, "完成");
  view.caption = ui::Text(ui::FindControl(window, kCancel));
  SetNumber(kPages, kPropertyCurrentPage, ReadNumber(kPages, kPropertyCurrentPage) + 1);
  view.page_after = ReadNumber(kPages, kPropertyCurrentPage);
  view.done = true;
}

TEST_F(WindowTest, AccessesFromAnotherThreadAreCompleteWhenTheCallReturns) {
  SetText(kLocation, kPropertyEditContent, "D:\\安装");
  ASSERT_TRUE(RunInThread(&WorkOnTheWindow));
  PumpUntil(worker_view.done);

  EXPECT_NE(worker_view.thread, GetCurrentThreadId());
  EXPECT_TRUE(worker_view.progress_page_showing);
  EXPECT_TRUE(worker_view.cancel_disabled);
  EXPECT_EQ(worker_view.position, 40);
  EXPECT_EQ(worker_view.location, "D:\\安装");
  EXPECT_EQ(worker_view.caption, "完成");
  EXPECT_EQ(worker_view.page_after, 3);
  EXPECT_EQ(ReadNumber(kPages, kPropertyCurrentPage), 3);
}

TEST_F(WindowTest, AccessesToADestroyedWindowDoNothing) {
  DestroyWindow(window_);
  PumpMessages();
  EXPECT_EQ(ReadNumber(kPages, kPropertyCurrentPage), 0);
  EXPECT_EQ(ReadNumber(kProgress, kPropertyProgressPosition), 0);
  EXPECT_EQ(ReadText(kLocation, kPropertyEditContent), "(absent)");
  EXPECT_EQ(ReadText(kInstall, kPropertyButtonCaption), "(absent)");
  SetNumber(kPages, kPropertyCurrentPage, 2);
  SetText(kLocation, kPropertyEditContent, "x");
  EXPECT_FALSE(ShowFileDialog(kWindow, kDialog));

  // The same from a thread of its own, as an installation that outlives the window would do.
  std::atomic<bool> done{false};
  std::int32_t page = -1;
  std::string text;
  std::thread late([&] {
    SetNumber(kProgress, kPropertyProgressPosition, 70);
    page = ReadNumber(kPages, kPropertyCurrentPage);
    text = ReadText(kCancel, kPropertyButtonCaption);
    done = true;
  });
  PumpUntil(done);
  late.join();
  EXPECT_EQ(page, 0);
  EXPECT_EQ(text, "(absent)");
}

TEST_F(WindowTest, ErrorMessagesFromAnyThreadShowOverTheWindow) {
  std::atomic<bool> done{false};
  std::thread worker([&] {
    ShowErrorMessage(Text::Stored("无法创建文件"));
    done = true;
  });
  DWORD box_thread = 0;
  HWND owner = nullptr;
  std::vector<std::string> texts;
  std::thread user([&] {
    HWND box = ui::WaitForDialog(GetCurrentProcessId());
    if (box == nullptr) return;
    box_thread = GetWindowThreadProcessId(box, nullptr);
    owner = GetWindow(box, GW_OWNER);
    texts.push_back(ui::Text(box));
    for (HWND part : ui::Children(box)) texts.push_back(ui::Text(part));
    ui::PressDialogButton(box, IDOK);
  });
  PumpUntil(done);
  worker.join();
  user.join();
  EXPECT_EQ(box_thread, GetCurrentThreadId()) << "the box belongs on the window's thread";
  EXPECT_EQ(owner, window_);
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.front(), kCaption);
  EXPECT_NE(std::find(texts.begin(), texts.end(), "无法创建文件"), texts.end());
}

TEST_F(WindowTest, CloseRequestsAreRefusedWhileBlocked) {
  SetCloseBlocked(true);
  SendMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
  SendMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(window_));
  SetCloseBlocked(false);
  SendMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window_));
}

struct EnterCase {
  const char* name;
  std::int32_t page;
  std::uint32_t focus;  // before the page is set
  bool install_disabled;
  int next_clicks;
  int install_clicks;
};

// Enter, then Esc, go through the message loop; Esc closes the window, which ends the loop.
TEST_F(WindowTest, EnterPressesTheShowingDefaultButtonAndEscEndsTheLoop) {
  const EnterCase cases[] = {
      {"welcome page", 0, kNext, false, 1, 0},
      {"focus on a plain button", 0, kCancel, false, 1, 0},
      {"focus left on a hidden default button", 1, kNext, false, 0, 1},
      {"focus in the edit box", 1, kLocation, false, 0, 1},
      {"showing default button disabled", 1, kLocation, true, 0, 0},
      {"no default button showing", 2, kCancel, false, 0, 0},
  };
  for (const EnterCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (!IsWindow(window_)) SetUp();
    // Focus first, then the page: a page change does not move the focus off a hidden control.
    SetFocus(Control(c.focus));
    SetNumber(kPages, kPropertyCurrentPage, c.page);
    if (IsWindowVisible(Control(c.focus))) SetFocus(Control(c.focus));
    SetNumber(kInstall, kPropertyDisabled, c.install_disabled ? 1 : 0);
    HWND target = GetFocus() != nullptr ? GetFocus() : window_;
    PostMessageW(target, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 1);
    RunMessageLoop();
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_EQ(record.next_clicks, c.next_clicks);
    EXPECT_EQ(record.install_clicks, c.install_clicks);
    EXPECT_EQ(record.cancel_clicks, 0);
  }
}

TEST_F(WindowTest, ClickingAButtonFiresItsHandler) {
  SendMessageW(Control(kCancel), BM_CLICK, 0, 0);
  EXPECT_EQ(record.cancel_clicks, 1);
  EXPECT_EQ(record.next_clicks, 0);
}

COLORREF PixelAt(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  const COLORREF colour = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return colour;
}

bool IsNear(COLORREF colour, int red, int green, int blue) {
  return std::abs(GetRValue(colour) - red) < 48 && std::abs(GetGValue(colour) - green) < 48 &&
         std::abs(GetBValue(colour) - blue) < 48;
}

TEST_F(WindowTest, PaintsPicturesStretchedAndLabelsInTheirColours) {
  RECT client{};
  GetClientRect(window_, &client);
  // The background covers the whole client area: red at the left edge, blue at the right.
  EXPECT_TRUE(IsNear(PixelAt(window_, 1, client.bottom - 2), 255, 0, 0));
  EXPECT_TRUE(IsNear(PixelAt(window_, client.right - 2, 1), 0, 0, 255));
  EXPECT_TRUE(IsNear(PixelAt(window_, client.right - 2, client.bottom - 2), 0, 0, 255));
  HWND picture = Control(kPicture);
  EXPECT_TRUE(IsNear(PixelAt(picture, 28, 28), 0, 255, 0));
  EXPECT_TRUE(IsNear(PixelAt(picture, 55, 55), 0, 255, 0));

  // The label's ground is the button face; its text is drawn in its own blue.
  HWND label = Control(kWelcomeLabel);
  EXPECT_EQ(PixelAt(label, 199, 0), GetSysColor(COLOR_BTNFACE));
  int blue = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 200; ++x) {
      const COLORREF colour = PixelAt(label, x, y);
      if (GetBValue(colour) > 200 && GetRValue(colour) < 60 && GetGValue(colour) < 60) ++blue;
    }
  }
  EXPECT_GT(blue, 20) << "no text drawn in the label's colour";
  // The page container paints its whole area, around its controls, in the button face.
  EXPECT_EQ(PixelAt(Control(kPages), 351, 179), GetSysColor(COLOR_BTNFACE));
}

struct EndCase {
  const wchar_t* way;
  DWORD exit_code;
  const char* routines_run;
  const char* error_text;  // null: no error box
};

TEST(EndingTest, RunsTheEndRoutinesOnceInOrderExceptOnAFatalFailure) {
  const EndCase cases[] = {
      {L"end", 7, "AB", nullptr},
      {L"close", 0, "AB", nullptr},
      {L"cancel", 0, "AB", nullptr},
      {L"fatal", static_cast<DWORD>(-1), "", "载入启动窗口失败"},
  };
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  wchar_t temporary[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temporary);
  for (const EndCase& c : cases) {
    SCOPED_TRACE(Narrow(c.way));
    const std::filesystem::path log = std::filesystem::path(temporary) /
                                      (L"vorlune-window-test-" + std::wstring(c.way) + L".log");
    std::filesystem::remove(log);

    SetEnvironmentVariableW(kEndVariable, c.way);
    SetEnvironmentVariableW(kLogVariable, log.c_str());
    std::optional<ui::Process> child = ui::Process::Launch(program);
    SetEnvironmentVariableW(kEndVariable, nullptr);
    SetEnvironmentVariableW(kLogVariable, nullptr);
    ASSERT_TRUE(child);

    if (c.error_text != nullptr) {
      HWND box = ui::WaitForDialog(child->Id());
      ASSERT_NE(box, nullptr) << "no error box";
      EXPECT_EQ(ui::Text(box), kCaption);
      std::vector<std::string> texts;
      for (HWND part : ui::Children(box)) texts.push_back(ui::Text(part));
      EXPECT_NE(std::find(texts.begin(), texts.end(), c.error_text), texts.end());
      ui::PressDialogButton(box, IDOK);
    }
    const std::optional<DWORD> code = child->WaitForExit();
    ASSERT_TRUE(code) << "the child did not end";
    EXPECT_EQ(*code, c.exit_code);
    std::string routines;
    std::ifstream(log) >> routines;
    EXPECT_EQ(routines, c.routines_run);
  }
}

TEST(PictureTest, DecodesPngIntoBgraPixels) {
  const auto png = EncodePng(2, 2,
                             {255, 0, 0, 255, 0, 255, 0, 255,  //
                              0, 0, 255, 255, 10, 20, 30, 255});
  const std::optional<Picture> picture = Picture::DecodePng(png);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->Width(), 2);
  EXPECT_EQ(picture->Height(), 2);
  const std::vector<std::uint32_t> pixels(picture->Pixels().begin(), picture->Pixels().end());
  // 0xAARRGGBB: blue, green, red, alpha bytes in memory, top row first.
  EXPECT_EQ(pixels, (std::vector<std::uint32_t>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF0A141E}));

  const unsigned char damaged[] = {0x89, 'P', 'N', 'G', 0, 1, 2, 3};
  EXPECT_FALSE(Picture::DecodePng(damaged));
  EXPECT_FALSE(Picture::DecodePng({}));
}

// The dialog is modal to the UI thread; a thread of the test plays the user.
TEST_F(WindowTest, FileDialogProposesTheNameAndReturnsTheChosenPath) {
  wchar_t temporary[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temporary);
  const std::string chosen = Narrow(temporary) + "选择的 name.txt";

  struct Answer {
    bool confirm;
    const char* proposed;
    bool result;
    std::string after;
  };
  const Answer answers[] = {
      {false, "Vorlune1.5", false, "Vorlune1.5"},
      {true, "建议 Vorlune1.5", true, chosen},
  };
  for (const Answer& answer : answers) {
    SCOPED_TRACE(answer.confirm ? "OK" : "Cancel");
    SetText(kDialog, kPropertyDialogFileName, answer.proposed);
    std::string shown;
    std::thread user([&] {
      HWND dialog = ui::WaitForDialog(GetCurrentProcessId());
      if (dialog == nullptr) return;
      HWND box = ui::FileNameBox(dialog);
      ui::WaitUntil([&] { return !ui::Text(box).empty(); }, ui::Milliseconds(5000));
      shown = ui::Text(box);
      if (answer.confirm) ui::SetText(box, chosen);
      ui::PressDialogButton(dialog, answer.confirm ? IDOK : IDCANCEL);
    });
    const bool result = ShowFileDialog(kWindow, kDialog);
    user.join();
    EXPECT_EQ(shown, answer.proposed);
    EXPECT_EQ(result, answer.result);
    EXPECT_EQ(ReadText(kDialog, kPropertyDialogFileName), answer.after);
  }
}

}  // namespace
}  // namespace vorlune
