#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace vorlune {

enum class ControlKind : std::uint8_t {
  kLabel,          // 标签
  kButton,         // 按钮
  kEditBox,        // 编辑框
  kProgressBar,    // 进度条
  kCommonDialog,   // 通用对话框 (a component: never shown)
  kZip,            // ZIP压缩 (a component: never shown)
  kPictureBox,     // 图片框
  kPageContainer,  // 选择夹
};

// 0x00RRGGBB, or kSystemButtonFace for the system's button-face colour.
using Colour = std::uint32_t;
inline constexpr Colour kSystemButtonFace = 0xFF000000u;
inline constexpr Colour kBlack = 0x000000u;

// A font that names no face: the platform's font mapper chooses one. Height 0 means the platform's
// default GUI font.
struct FontDescription {
  int height = 0;  // character height in pixels
  int weight = 400;
};

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

inline constexpr std::uint32_t kNoParent = 0;  // the window itself
inline constexpr int kNoPage = -1;

struct ControlDescription {
  std::string_view name;
  ControlKind kind;
  std::uint32_t number;
  std::uint32_t parent;  // kNoParent, or the number of the page container
  int page;              // kNoPage for controls of the window itself
  Rect place;            // relative to the parent's client area
  std::string_view text;
  FontDescription font{};
  Colour text_colour = kBlack;
  Colour background = kSystemButtonFace;
  bool word_wrap = false;
  bool default_button = false;
  bool tab_stop = false;
  bool visible = true;
};

// The save-file dialog's settings, by the platform's OPENFILENAME flag values.
struct FileDialogDescription {
  std::uint32_t control;
  int type;  // 1: save-file dialog
  std::uint32_t flags;
};

enum class EventKind : std::uint8_t { kCreated, kClicked };

struct EventBinding {
  std::uint32_t source;  // window or control number
  EventKind event;
  void (*handler)();
};

struct WindowDescription {
  std::uint32_t number;
  std::string_view caption;
  Rect stored_place;  // outer size; the window opens centred, the stored left/top unused
  std::span<const ControlDescription> controls;           // in stored order, the first topmost
  std::span<const std::span<const std::uint32_t>> pages;  // page container's lists, in page order
  std::uint32_t page_container;
  std::span<const unsigned char> background_png;  // stretched over the client area
  std::uint32_t picture_box;
  std::span<const unsigned char> picture_box_png;  // stretched over the picture box
  int icon_resource;  // the exe's icon, used as the large and small window icon
  std::span<const FileDialogDescription> dialogs;
  std::span<const EventBinding> events;
};

// The page container keeps its current page within its pages: below 0 gives 0, past the last
// gives the last (0 when there are no pages).
constexpr int ClampPage(std::int64_t requested, int page_count) {
  if (requested < 0 || page_count - 1 < 0) return 0;
  if (requested > page_count - 1) return page_count - 1;
  return static_cast<int>(requested);
}

}  // namespace vorlune
