#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "runtime/extract_fs.h"

namespace vorlune::extract {

// Member data moves in buffers of this size.
inline constexpr std::size_t kChunkSize = 256 * 1024;

struct Member {
  std::string name;  // decoded to UTF-8
  std::uint64_t compressed_size = 0;
  std::uint64_t size = 0;
  std::uint32_t crc = 0;
  std::uint32_t method = 0;
  std::uint16_t flags = 0;
  DosDateTime stamp;
  bool directory = false;
};

// What is wrong with a member's data.
enum class DataFault {
  kNone,
  kEncrypted,
  kMethod,
  kLocalHeader,
  kTruncated,
  kCorrupt,
  kLonger,
  kShorter,
  kCrc,
  kNoMemory,
  kSink,  // the sink refused the data
};

// The fault in words a person can read (Chinese); empty for kNone and kSink.
std::string DataFaultText(DataFault fault, const Member& member);

// Takes a member's data a buffer at a time. The reader fills Buffer() (kChunkSize bytes) and
// hands the filled part on with Accept; `last` comes once, and only when the member checked out.
class DataSink {
 public:
  virtual std::byte* Buffer() = 0;
  virtual bool Accept(std::size_t size, bool last) = 0;

 protected:
  ~DataSink() = default;
};

enum class NextMember { kFound, kEnd, kDamaged };

// Walks the members of an archive in central-directory order and streams their data.
class MemberReader {
 public:
  explicit MemberReader(ArchiveSource& source);
  ~MemberReader();
  MemberReader(const MemberReader&) = delete;
  MemberReader& operator=(const MemberReader&) = delete;

  bool BeginsWithLocalHeader();
  // The central directory was found and read.
  bool Opened() const;
  NextMember Next(Member& member);
  // Streams the current member's data into `sink`, never more than its recorded size.
  DataFault Stream(const Member& member, DataSink& sink);

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vorlune::extract
