#include "runtime/text.h"

#include <cstring>
#include <utility>

namespace vorlune {

Text Text::Stored(std::string_view constant) noexcept {
  Text text;
  text.kind_ = Kind::kStored;
  text.stored_ = constant;
  return text;
}

Text Text::Owned(std::string value) {
  Text text;
  text.kind_ = Kind::kOwned;
  text.owned_ = std::move(value);
  return text;
}

Text::Text(Text&& other) noexcept
    : kind_(std::exchange(other.kind_, Kind::kAbsent)),
      stored_(std::exchange(other.stored_, {})),
      owned_(std::move(other.owned_)) {
  other.owned_.clear();
}

Text& Text::operator=(Text&& other) noexcept {
  if (this != &other) {
    kind_ = std::exchange(other.kind_, Kind::kAbsent);
    stored_ = std::exchange(other.stored_, {});
    owned_ = std::move(other.owned_);
    other.owned_.clear();
  }
  return *this;
}

std::string_view Text::View() const noexcept {
  switch (kind_) {
    case Kind::kStored:
      return stored_;
    case Kind::kOwned:
      return owned_;
    case Kind::kAbsent:
      break;
  }
  return {};
}

const char* Text::CStr() const noexcept {
  switch (kind_) {
    case Kind::kStored:
      return stored_.data();  // stored constants are literals, zero-terminated
    case Kind::kOwned:
      return owned_.c_str();
    case Kind::kAbsent:
      break;
  }
  return "";
}

ByteSet ByteSet::Stored(const void* block) noexcept {
  ByteSet set;
  if (block != nullptr) {
    set.kind_ = Kind::kStored;
    set.stored_ = static_cast<const unsigned char*>(block);
  }
  return set;
}

ByteSet ByteSet::Owned(std::vector<std::byte> bytes) {
  ByteSet set;
  set.kind_ = Kind::kOwned;
  set.owned_ = std::move(bytes);
  return set;
}

ByteSet::ByteSet(ByteSet&& other) noexcept
    : kind_(std::exchange(other.kind_, Kind::kAbsent)),
      stored_(std::exchange(other.stored_, nullptr)),
      owned_(std::move(other.owned_)) {
  other.owned_.clear();
}

ByteSet& ByteSet::operator=(ByteSet&& other) noexcept {
  if (this != &other) {
    kind_ = std::exchange(other.kind_, Kind::kAbsent);
    stored_ = std::exchange(other.stored_, nullptr);
    owned_ = std::move(other.owned_);
    other.owned_.clear();
  }
  return *this;
}

std::int32_t ByteSet::Length() const noexcept {
  switch (kind_) {
    case Kind::kStored: {
      std::int32_t length = 0;
      std::memcpy(&length, stored_ + 4, sizeof length);  // after the 32-bit count
      return length;
    }
    case Kind::kOwned:
      return static_cast<std::int32_t>(owned_.size());
    case Kind::kAbsent:
      break;
  }
  return 0;
}

std::span<const std::byte> ByteSet::Bytes() const noexcept {
  switch (kind_) {
    case Kind::kStored: {
      const std::int32_t length = Length();
      if (length <= 0) return {};
      return {reinterpret_cast<const std::byte*>(stored_ + 8), static_cast<std::size_t>(length)};
    }
    case Kind::kOwned:
      return owned_;
    case Kind::kAbsent:
      break;
  }
  return {};
}

Text JoinTexts(std::initializer_list<TextPiece> pieces) {
  std::size_t size = 0;
  for (const TextPiece& piece : pieces) size += piece.View().size();
  std::string joined;
  joined.reserve(size);
  for (const TextPiece& piece : pieces) joined.append(piece.View());
  return Text::Owned(std::move(joined));
}

void ReleaseText(Text& text) noexcept {
  // A stored constant is only referred to: forgetting the reference is all there is to do.
  text = Text();
}

void ReleaseText(ByteSet& bytes) noexcept { bytes = ByteSet(); }

}  // namespace vorlune
