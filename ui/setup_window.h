#pragma once

#include <cstdint>

#include "runtime/window_description.h"

namespace vorlune {

// Numbers of the setup window and its controls.
inline constexpr std::uint32_t SetupWindow = 0x52010001;
inline constexpr std::uint32_t 标签9 = 0x16010023;
inline constexpr std::uint32_t 标签8 = 0x16010022;
inline constexpr std::uint32_t ZIP压缩1 = 0x16010021;
inline constexpr std::uint32_t 进度条1 = 0x1601001E;
inline constexpr std::uint32_t 标签7 = 0x1601001D;
inline constexpr std::uint32_t 通用对话框1 = 0x1601001A;
inline constexpr std::uint32_t 按钮4 = 0x16010016;
inline constexpr std::uint32_t 标签6 = 0x16010015;
inline constexpr std::uint32_t 按钮2 = 0x16010014;
inline constexpr std::uint32_t 按钮3 = 0x16010011;
inline constexpr std::uint32_t 编辑框1 = 0x16010010;
inline constexpr std::uint32_t 标签5 = 0x1601000F;
inline constexpr std::uint32_t 标签4 = 0x1601000E;
inline constexpr std::uint32_t 标签3 = 0x1601000B;
inline constexpr std::uint32_t 标签2 = 0x1601000A;
inline constexpr std::uint32_t 标签1 = 0x16010009;
inline constexpr std::uint32_t 按钮1 = 0x16010007;
inline constexpr std::uint32_t 图片框1 = 0x16010006;
inline constexpr std::uint32_t 选择夹1 = 0x16010005;

// Pages of 选择夹1.
inline constexpr int kWelcomePage = 0;
inline constexpr int kInstallLocationPage = 1;
inline constexpr int kProgressPage = 2;
inline constexpr int kFinishedPage = 3;

// The exe's icon resource, also the window's large and small icon.
inline constexpr int kWindowIconResource = 1;

const WindowDescription& SetupWindowDescription();

}  // namespace vorlune
