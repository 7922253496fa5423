#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorlune {

// A program text, UTF-8 inside the program. Absent and empty mean the same to every reader.
// A text either owns its bytes or refers to one of the program's stored constants.
class Text {
 public:
  Text() = default;
  static Text Stored(std::string_view constant) noexcept;
  static Text Owned(std::string value);

  Text(Text&& other) noexcept;
  Text& operator=(Text&& other) noexcept;
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  ~Text() = default;

  std::string_view View() const noexcept;
  const char* CStr() const noexcept;  // "" for an absent text
  bool IsAbsent() const noexcept { return kind_ == Kind::kAbsent; }
  bool IsStored() const noexcept { return kind_ == Kind::kStored; }
  bool IsEmpty() const noexcept { return View().empty(); }

 private:
  friend void ReleaseText(Text& text) noexcept;
  enum class Kind : std::uint8_t { kAbsent, kStored, kOwned };
  Kind kind_ = Kind::kAbsent;
  std::string_view stored_;
  std::string owned_;
};

// A byte set: a dimension count (always 1), a signed 32-bit length and the bytes. It either owns
// its bytes or refers to a stored block laid out as count, length, bytes.
class ByteSet {
 public:
  ByteSet() = default;
  // `block` points at a stored count/length/bytes block, which is never copied or released.
  static ByteSet Stored(const void* block) noexcept;
  static ByteSet Owned(std::vector<std::byte> bytes);

  ByteSet(ByteSet&& other) noexcept;
  ByteSet& operator=(ByteSet&& other) noexcept;
  ByteSet(const ByteSet&) = delete;
  ByteSet& operator=(const ByteSet&) = delete;
  ~ByteSet() = default;

  std::span<const std::byte> Bytes() const noexcept;
  std::int32_t Length() const noexcept;  // as stored; 0 for an absent set
  bool IsAbsent() const noexcept { return kind_ == Kind::kAbsent; }
  bool IsStored() const noexcept { return kind_ == Kind::kStored; }

 private:
  friend void ReleaseText(ByteSet& bytes) noexcept;
  enum class Kind : std::uint8_t { kAbsent, kStored, kOwned };
  Kind kind_ = Kind::kAbsent;
  const unsigned char* stored_ = nullptr;
  std::vector<std::byte> owned_;
};

// One piece of a join: a text, a literal or any string view.
class TextPiece {
 public:
  TextPiece(const Text& text) noexcept : view_(text.View()) {}  // NOLINT: implicit by design
  TextPiece(std::string_view view) noexcept : view_(view) {}    // NOLINT
  TextPiece(const char* literal) noexcept : view_(literal ? literal : "") {}  // NOLINT
  std::string_view View() const noexcept { return view_; }

 private:
  std::string_view view_;
};

// Joins the pieces, in order, into a new owned text; never absent (empty pieces give "").
Text JoinTexts(std::initializer_list<TextPiece> pieces);

// Releases an owned text or byte set and leaves the variable absent. Absent values and stored
// constants are left as they are: the constant itself is never touched.
void ReleaseText(Text& text) noexcept;
void ReleaseText(ByteSet& bytes) noexcept;

// The text's bytes as the system stores them for the console: the launcher file is read by the
// command interpreter. Natively the UTF-8 bytes themselves.
ByteSet EncodeText(const Text& text);

}  // namespace vorlune
