#include "ui/setup_window.h"

#include <array>

#include "app/handlers.h"

extern "C" {
extern const unsigned char vorlune_background_png[];
extern const unsigned char vorlune_background_png_end[];
extern const unsigned char vorlune_corner_png[];
extern const unsigned char vorlune_corner_png_end[];
}

namespace vorlune {

namespace {

constexpr Colour kPureBlue = 0x0000FFu;
constexpr FontDescription kDefaultFont{};

// Save-file dialog flags, by their platform values.
constexpr std::uint32_t kOfnHideReadOnly = 0x00000004;
constexpr std::uint32_t kOfnOverwritePrompt = 0x00000002;
constexpr std::uint32_t kOfnPathMustExist = 0x00000800;
constexpr std::uint32_t kOfnFileMustExist = 0x00001000;

using K = ControlKind;

// Stored order: the first control is the topmost among its siblings.
constexpr std::array kControls = {
    // clang-format off
    ControlDescription{"标签9", K::kLabel, 标签9, 选择夹1, 3, {24, 72, 112, 24}, "点击“完成”退出"},
    ControlDescription{"标签8", K::kLabel, 标签8, 选择夹1, 3, {16, 8, 224, 48}, "您已成功安装", {29, 700}},
    ControlDescription{"ZIP压缩1", K::kZip, ZIP压缩1, kNoParent, kNoPage, {104, 144, 26, 26}, "", kDefaultFont, kBlack, kSystemButtonFace, false, false, false, false},
    ControlDescription{"进度条1", K::kProgressBar, 进度条1, 选择夹1, 2, {8, 72, 336, 24}, ""},
    ControlDescription{"标签7", K::kLabel, 标签7, 选择夹1, 2, {8, 24, 64, 24}, "正在安装"},
    ControlDescription{"通用对话框1", K::kCommonDialog, 通用对话框1, 选择夹1, 1, {320, 120, 26, 26}, "", kDefaultFont, kBlack, kSystemButtonFace, false, false, false, false},
    ControlDescription{"按钮4", K::kButton, 按钮4, 选择夹1, 1, {312, 56, 32, 24}, "...", kDefaultFont, kBlack, kSystemButtonFace, false, false, true},
    ControlDescription{"标签6", K::kLabel, 标签6, 选择夹1, 1, {16, 88, 120, 24}, "至少需要10MB 的空间"},
    ControlDescription{"按钮2", K::kButton, 按钮2, kNoParent, kNoPage, {424, 216, 56, 24}, "取消", kDefaultFont, kBlack, kSystemButtonFace, false, false, true},
    ControlDescription{"按钮3", K::kButton, 按钮3, 选择夹1, 1, {232, 176, 56, 24}, "安装", kDefaultFont, kBlack, kSystemButtonFace, false, true, true},
    ControlDescription{"编辑框1", K::kEditBox, 编辑框1, 选择夹1, 1, {16, 56, 296, 24}, "", kDefaultFont, kBlack, kSystemButtonFace, false, false, true},
    ControlDescription{"标签5", K::kLabel, 标签5, 选择夹1, 1, {16, 16, 120, 24}, "请选择安装位置："},
    ControlDescription{"标签4", K::kLabel, 标签4, 选择夹1, 0, {16, 64, 304, 56}, "此向导将帮助您完成 Vorlune 的安装。\r\n\r\n点击“下一步”进行下一步", kDefaultFont, kBlack, kSystemButtonFace, true},
    ControlDescription{"标签3", K::kLabel, 标签3, 选择夹1, 0, {256, 24, 40, 24}, "Setup"},
    ControlDescription{"标签2", K::kLabel, 标签2, 选择夹1, 0, {95, 13, 168, 40}, "VorluneV1.5", {24, 700}, kPureBlue},
    ControlDescription{"标签1", K::kLabel, 标签1, 选择夹1, 0, {16, 16, 88, 40}, "欢迎来到", {19, 400}},
    ControlDescription{"按钮1", K::kButton, 按钮1, 选择夹1, 0, {224, 176, 64, 24}, "下一步", kDefaultFont, kBlack, kSystemButtonFace, false, true, true},
    ControlDescription{"图片框1", K::kPictureBox, 图片框1, kNoParent, kNoPage, {8, 0, 56, 56}, ""},
    ControlDescription{"选择夹1", K::kPageContainer, 选择夹1, kNoParent, kNoPage, {136, 40, 352, 224}, ""},
    // clang-format on
};

constexpr std::array<std::uint32_t, 5> kWelcomePageControls = {标签4, 标签3, 标签2, 标签1, 按钮1};
constexpr std::array<std::uint32_t, 6> kLocationPageControls = {通用对话框1, 按钮4,   标签6,
                                                                按钮3,       编辑框1, 标签5};
constexpr std::array<std::uint32_t, 2> kProgressPageControls = {进度条1, 标签7};
constexpr std::array<std::uint32_t, 2> kFinishedPageControls = {标签9, 标签8};

// Seven pages; the last three are empty and never reached.
constexpr std::array<std::span<const std::uint32_t>, 7> kPages = {kWelcomePageControls,
                                                                  kLocationPageControls,
                                                                  kProgressPageControls,
                                                                  kFinishedPageControls,
                                                                  {},
                                                                  {},
                                                                  {}};

constexpr std::array kDialogs = {FileDialogDescription{
    通用对话框1, 1,
    kOfnHideReadOnly | kOfnOverwritePrompt | kOfnPathMustExist | kOfnFileMustExist}};

constexpr std::array kEvents = {
    EventBinding{SetupWindow, EventKind::kCreated, &OnSetupWindowCreated},
    EventBinding{按钮1, EventKind::kClicked, &On按钮1Clicked},
    EventBinding{按钮2, EventKind::kClicked, &On按钮2Clicked},
    EventBinding{按钮3, EventKind::kClicked, &On按钮3Clicked},
    EventBinding{按钮4, EventKind::kClicked, &On按钮4Clicked},
};

}  // namespace

const WindowDescription& SetupWindowDescription() {
  static const WindowDescription description{
      .number = SetupWindow,
      .caption = "Vorlune V1.5 Setup",
      .stored_place = {50, 50, 507, 318},
      .controls = kControls,
      .pages = kPages,
      .page_container = 选择夹1,
      .background_png = {vorlune_background_png, vorlune_background_png_end},
      .picture_box = 图片框1,
      .picture_box_png = {vorlune_corner_png, vorlune_corner_png_end},
      .icon_resource = kWindowIconResource,
      .dialogs = kDialogs,
      .events = kEvents,
  };
  return description;
}

}  // namespace vorlune
