// The setup window as a user meets it: the real installer, driven from outside.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "tests/ui_driver.h"
#include "ui/setup_window.h"

namespace vorlune {
namespace {

namespace ui = ui_driver;

constexpr wchar_t kCaption[] = L"Vorlune V1.5 Setup";
constexpr int kOuterWidth = 507;
constexpr int kOuterHeight = 318;

std::wstring InstallerPath() { return ui::PathFromEnvironment(L"VORLUNE_SETUP_EXE"); }

class WizardWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring program = InstallerPath();
    ASSERT_FALSE(program.empty()) << "VORLUNE_SETUP_EXE names no installer";
    process_ = ui::Process::Launch(program);
    ASSERT_TRUE(process_) << "the installer does not start";
    window_ = ui::WaitForWindow(process_->Id(), kCaption);
    ASSERT_NE(window_, nullptr) << "no visible window captioned \"Vorlune V1.5 Setup\"";
  }

  HWND Control(std::uint32_t number) const {
    HWND control = ui::FindControl(window_, number);
    EXPECT_NE(control, nullptr) << "no control numbered 0x" << std::hex << number;
    return control;
  }

  void ExpectEndsWithCodeZero() {
    const std::optional<DWORD> code = process_->WaitForExit();
    ASSERT_TRUE(code) << "the installer is still running";
    EXPECT_EQ(*code, 0u);
  }

  std::optional<ui::Process> process_;
  HWND window_ = nullptr;
};

TEST_F(WizardWindowTest, OpensCentredWithAFixedDialogFrame) {
  const RECT place = ui::ScreenRect(window_);
  EXPECT_EQ(place.left, (GetSystemMetrics(SM_CXSCREEN) - kOuterWidth) / 2);
  EXPECT_EQ(place.top, (GetSystemMetrics(SM_CYSCREEN) - kOuterHeight) / 2);
  EXPECT_EQ(place.right - place.left, kOuterWidth);
  EXPECT_EQ(place.bottom - place.top, kOuterHeight);

  const auto style = static_cast<DWORD>(GetWindowLongW(window_, GWL_STYLE));
  EXPECT_EQ(style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME) << "the frame must not be resizable";
  EXPECT_TRUE(style & WS_CLIPCHILDREN) << "children are clipped out of the window's painting";
  EXPECT_EQ(GetWindow(window_, GW_OWNER), nullptr) << "the window has its own task-bar button";
}

struct Placed {
  const char* name;
  std::uint32_t number;
  std::uint32_t parent;  // 0: the window itself
  RECT place;            // left, top, right, bottom in the parent's client area
};

TEST_F(WizardWindowTest, PlacesEveryControlInsideItsParent) {
  // clang-format off
  const Placed placed[] = {
      {"标签9", 标签9, 选择夹1, {24, 72, 24 + 112, 72 + 24}},
      {"标签8", 标签8, 选择夹1, {16, 8, 16 + 224, 8 + 48}},
      {"进度条1", 进度条1, 选择夹1, {8, 72, 8 + 336, 72 + 24}},
      {"标签7", 标签7, 选择夹1, {8, 24, 8 + 64, 24 + 24}},
      {"按钮4", 按钮4, 选择夹1, {312, 56, 312 + 32, 56 + 24}},
      {"标签6", 标签6, 选择夹1, {16, 88, 16 + 120, 88 + 24}},
      {"按钮2", 按钮2, 0, {424, 216, 424 + 56, 216 + 24}},
      {"按钮3", 按钮3, 选择夹1, {232, 176, 232 + 56, 176 + 24}},
      {"编辑框1", 编辑框1, 选择夹1, {16, 56, 16 + 296, 56 + 24}},
      {"标签5", 标签5, 选择夹1, {16, 16, 16 + 120, 16 + 24}},
      {"标签4", 标签4, 选择夹1, {16, 64, 16 + 304, 64 + 56}},
      {"标签3", 标签3, 选择夹1, {256, 24, 256 + 40, 24 + 24}},
      {"标签2", 标签2, 选择夹1, {95, 13, 95 + 168, 13 + 40}},
      {"标签1", 标签1, 选择夹1, {16, 16, 16 + 88, 16 + 40}},
      {"按钮1", 按钮1, 选择夹1, {224, 176, 224 + 64, 176 + 24}},
      {"图片框1", 图片框1, 0, {8, 0, 8 + 56, 0 + 56}},
      {"选择夹1", 选择夹1, 0, {136, 40, 136 + 352, 40 + 224}},
  };
  // clang-format on
  for (const Placed& expected : placed) {
    SCOPED_TRACE(expected.name);
    HWND control = Control(expected.number);
    if (control == nullptr) continue;
    HWND parent = expected.parent == 0 ? window_ : Control(expected.parent);
    EXPECT_EQ(GetParent(control), parent);
    const RECT place = ui::PlaceInParent(control);
    EXPECT_EQ(place.left, expected.place.left);
    EXPECT_EQ(place.top, expected.place.top);
    EXPECT_EQ(place.right, expected.place.right);
    EXPECT_EQ(place.bottom, expected.place.bottom);
  }
}

struct Shown {
  const char* name;
  std::uint32_t number;
  bool visible;
  const char* text;  // null: not checked
};

TEST_F(WizardWindowTest, ShowsTheWelcomePageOnly) {
  // clang-format off
  const Shown shown[] = {
      {"标签4", 标签4, true, "此向导将帮助您完成 Vorlune 的安装。\r\n\r\n点击“下一步”进行下一步"},
      {"标签3", 标签3, true, "Setup"},
      {"标签2", 标签2, true, "VorluneV1.5"},
      {"标签1", 标签1, true, "欢迎来到"},
      {"按钮1", 按钮1, true, "下一步"},
      {"按钮2", 按钮2, true, "取消"},
      {"图片框1", 图片框1, true, nullptr},
      {"选择夹1", 选择夹1, true, nullptr},
      {"按钮4", 按钮4, false, "..."},
      {"标签6", 标签6, false, "至少需要10MB 的空间"},
      {"按钮3", 按钮3, false, "安装"},
      {"编辑框1", 编辑框1, false, ""},
      {"标签5", 标签5, false, "请选择安装位置："},
      {"进度条1", 进度条1, false, nullptr},
      {"标签7", 标签7, false, "正在安装"},
      {"标签9", 标签9, false, "点击“完成”退出"},
      {"标签8", 标签8, false, "您已成功安装"},
      {"通用对话框1", 通用对话框1, false, nullptr},
      {"ZIP压缩1", ZIP压缩1, false, nullptr},
  };
  // clang-format on
  for (const Shown& expected : shown) {
    SCOPED_TRACE(expected.name);
    HWND control = Control(expected.number);
    if (control == nullptr) continue;
    EXPECT_EQ(ui::IsVisible(control), expected.visible);
    EXPECT_TRUE(ui::IsEnabled(control));
    if (expected.text != nullptr) {
      EXPECT_EQ(ui::Text(control), expected.text);
    }
  }
  EXPECT_EQ(ui::ProgressPosition(Control(进度条1)), 0);
  EXPECT_EQ(ui::Text(window_), "Vorlune V1.5 Setup");
}

TEST_F(WizardWindowTest, EnterOnTheWelcomePagePressesNextOnly) {
  ui::PressKey(window_, VK_RETURN);
  HWND location = Control(编辑框1);
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::IsVisible(location) && !ui::Text(location).empty(); }))
      << "Enter did not press 下一步";
  EXPECT_FALSE(ui::IsVisible(Control(按钮1)));
  EXPECT_TRUE(ui::IsVisible(Control(按钮3)));
  // 安装 would have started the installation: 取消 disabled, the progress page showing.
  EXPECT_TRUE(ui::IsEnabled(Control(按钮2)));
  EXPECT_FALSE(ui::IsVisible(Control(进度条1)));
  ui::PressKey(window_, VK_ESCAPE);
  ExpectEndsWithCodeZero();
}

TEST_F(WizardWindowTest, TabMovesTheFocusAndEnterStillPressesTheDefaultButton) {
  HWND next = Control(按钮1);
  HWND cancel = Control(按钮2);
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::FocusOf(window_) == next; }))
      << "下一步 does not hold the focus at start";
  ui::PressKey(window_, VK_TAB);
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::FocusOf(window_) == cancel; }));
  // The focused 取消 is no default button: Enter goes to 下一步 and the program goes on.
  ui::PressKey(window_, VK_RETURN);
  HWND location = Control(编辑框1);
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::IsVisible(location); }));
  EXPECT_TRUE(process_->IsRunning());
  ui::RequestClose(window_);
  ExpectEndsWithCodeZero();
}

TEST_F(WizardWindowTest, ASecondCopyEndsAndBringsTheFirstBack) {
  ui::Minimise(window_);
  ASSERT_TRUE(ui::WaitUntil([&] { return IsIconic(window_) != FALSE; }));
  std::optional<ui::Process> second = ui::Process::Launch(InstallerPath());
  ASSERT_TRUE(second);
  const std::optional<DWORD> code = second->WaitForExit();
  ASSERT_TRUE(code) << "the second copy keeps running";
  EXPECT_EQ(*code, 0u);
  EXPECT_TRUE(process_->IsRunning());
  EXPECT_TRUE(ui::WaitUntil([&] { return IsIconic(window_) == FALSE; }))
      << "the first copy's window stays minimised";
  EXPECT_TRUE(ui::IsVisible(window_));
}

// Every ordinary way out ends the process with exit code 0.
struct Ending {
  const char* name;
  void (*end)(HWND window);
};

class WizardEndingTest : public WizardWindowTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(WizardEndingTest, EndsWithExitCodeZero) {
  GetParam().end(window_);
  ExpectEndsWithCodeZero();
}

INSTANTIATE_TEST_SUITE_P(
    Ways, WizardEndingTest,
    ::testing::Values(Ending{"Cancel",
                             [](HWND window) { ui::Click(ui::FindControl(window, 按钮2)); }},
                      Ending{"CloseBox", [](HWND window) { ui::CloseBySystemMenu(window); }},
                      Ending{"CloseRequest", [](HWND window) { ui::RequestClose(window); }},
                      Ending{"Escape", [](HWND window) { ui::PressKey(window, VK_ESCAPE); }}),
    [](const ::testing::TestParamInfo<Ending>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vorlune
