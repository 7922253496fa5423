#include "runtime/extract.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "runtime/extract_reader.h"
#include "runtime/extract_writer.h"
#include "runtime/failure.h"
#include "runtime/member_name.h"
#include "runtime/services.h"

namespace vorlune::extract {

namespace {

std::string MemberFailure(const Member& member, DataFault fault) {
  return "无法解压" + Quoted(member.name) + "：" + DataFaultText(fault, member);
}

std::string UnsafeName(const Member& member, MemberNameFault fault) {
  return "压缩包中的名称" + Quoted(member.name) + "不安全：" +
         std::string(MemberNameFaultText(fault));
}

std::string DamagedArchive(std::string_view archive) {
  return "压缩包" + (archive.empty() ? std::string() : Quoted(archive)) +
         "已损坏：无法读取其中的文件目录";
}

// Hands a member's data to the writer thread, buffer by buffer.
class WriterSink final : public DataSink {
 public:
  WriterSink(FileWriter& writer, std::string path, DosDateTime stamp)
      : writer_(writer), path_(std::move(path)), stamp_(stamp) {}
  ~WriterSink() {
    if (held_ != nullptr) writer_.ReleaseBuffer(held_);
  }
  WriterSink(const WriterSink&) = delete;
  WriterSink& operator=(const WriterSink&) = delete;

  std::byte* Buffer() override {
    if (held_ == nullptr) held_ = writer_.AcquireBuffer();
    return held_;
  }
  bool Accept(std::size_t size, bool last) override {
    if (writer_.Failed()) return false;
    if (begun_) {
      writer_.QueueMore(std::exchange(held_, nullptr), size, last);
    } else {
      writer_.QueueFile(std::move(path_), stamp_, std::exchange(held_, nullptr), size, last);
      begun_ = true;
    }
    return true;
  }
  // The member failed: whatever of it was queued goes.
  void Abandon() {
    if (begun_) writer_.QueueAbort();
  }

 private:
  FileWriter& writer_;
  std::string path_;
  DosDateTime stamp_;
  std::byte* held_ = nullptr;
  bool begun_ = false;
};

class Extractor {
 public:
  Extractor(FileSystem& fs, std::string_view target) : target_(target), writer_(fs) {}

  bool MakeTarget(std::string& reason) {
    if (!writer_.MakeDirectories(std::string(target_), reason)) return false;
    writer_.Start();
    return true;
  }

  bool Handle(MemberReader& reader, const Member& member, std::string& reason) {
    if (writer_.Failed()) return false;
    const MemberNameFault name_fault = CheckMemberName(member.name);
    if (name_fault != MemberNameFault::kNone) {
      reason = UnsafeName(member, name_fault);
      return false;
    }
    std::string path = MemberPath(target_, member.name, kPathSeparator);
    if (member.directory) {
      writer_.QueueDirectory(std::move(path));
      return true;
    }
    WriterSink sink(writer_, std::move(path), member.stamp);
    const DataFault fault = reader.Stream(member, sink);
    if (fault == DataFault::kNone) return true;
    sink.Abandon();
    if (fault != DataFault::kSink) reason = MemberFailure(member, fault);
    return false;
  }

  // Waits for the writer. A failure there came first: it wins over the reason in hand.
  bool Finish(std::string& reason) { return writer_.Drain(reason); }

 private:
  std::string_view target_;
  FileWriter writer_;
};

// Reads the data and lets it go: verifying needs the checks, not the bytes.
class DiscardingSink final : public DataSink {
 public:
  std::byte* Buffer() override {
    if (!buffer_) buffer_ = std::make_unique_for_overwrite<std::byte[]>(kChunkSize);
    return buffer_.get();
  }
  bool Accept(std::size_t, bool) override { return true; }

 private:
  std::unique_ptr<std::byte[]> buffer_;
};

class MemorySource final : public ArchiveSource {
 public:
  explicit MemorySource(std::span<const std::byte> bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
    if (offset >= bytes_.size()) return 0;
    const std::size_t count = std::min<std::size_t>(size, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, count);
    return count;
  }

 private:
  std::span<const std::byte> bytes_;
};

}  // namespace

Result Extract(FileSystem& fs, std::string_view archive_path, std::string_view target) {
  if (archive_path.empty()) return {Outcome::kNoArchive, "压缩包的路径为空"};
  if (target.empty()) return {Outcome::kNoArchive, "目标文件夹的路径为空"};
  std::unique_ptr<ArchiveSource> source;
  FsError error;
  const std::string archive(archive_path);
  switch (fs.OpenArchive(archive, source, error)) {
    case OpenResult::kOpened:
      break;
    case OpenResult::kMissing:
      return {Outcome::kNoArchive, "找不到压缩包" + Quoted(archive) + "：" + error.text};
    case OpenResult::kFailed:
      return {Outcome::kCannotStart, "无法打开压缩包" + Quoted(archive) + "：" + error.text};
  }

  Extractor extractor(fs, target);
  std::string reason;
  if (!extractor.MakeTarget(reason)) return {Outcome::kCannotStart, reason};

  MemberReader reader(*source);
  if (!reader.BeginsWithLocalHeader()) {
    return {Outcome::kCannotStart, Quoted(archive) + "不是 ZIP 压缩包"};
  }
  if (!reader.Opened()) return {Outcome::kCannotStart, DamagedArchive(archive)};

  Member member;
  NextMember next = NextMember::kFound;
  bool handled = true;
  while (handled && (next = reader.Next(member)) == NextMember::kFound) {
    handled = extractor.Handle(reader, member, reason);
  }
  if (handled && next == NextMember::kDamaged) {
    handled = false;
    reason = DamagedArchive(archive);
  }
  if (!extractor.Finish(reason) || !handled) return {Outcome::kMemberFailed, reason};
  return {};
}

std::string Verify(std::span<const std::byte> archive, std::uint64_t& total_uncompressed) {
  total_uncompressed = 0;
  MemorySource source(archive);
  MemberReader reader(source);
  if (!reader.BeginsWithLocalHeader()) return "数据不是 ZIP 压缩包";
  if (!reader.Opened()) return DamagedArchive("");
  Member member;
  DiscardingSink sink;
  NextMember next = NextMember::kFound;
  while ((next = reader.Next(member)) == NextMember::kFound) {
    const MemberNameFault name_fault = CheckMemberName(member.name);
    if (name_fault != MemberNameFault::kNone) return UnsafeName(member, name_fault);
    if (member.directory) continue;
    const DataFault fault = reader.Stream(member, sink);
    if (fault != DataFault::kNone) return MemberFailure(member, fault);
    total_uncompressed += member.size;
  }
  if (next == NextMember::kDamaged) return DamagedArchive("");
  return {};
}

}  // namespace vorlune::extract

namespace vorlune {

int ExtractArchive(const Text& archive_path, const Text& target_directory) {
  extract::Result result =
      extract::Extract(extract::SystemFileSystem(), archive_path.View(), target_directory.View());
  switch (result.outcome) {
    case extract::Outcome::kDone:
      return 1;
    case extract::Outcome::kNoArchive:
      SetFailureReason(std::move(result.reason));
      return -1;
    case extract::Outcome::kMemberFailed:
    case extract::Outcome::kCannotStart:
      break;
  }
  SetFailureReason(std::move(result.reason));
  return 0;
}

bool VerifyArchive(std::span<const std::byte> archive, std::uint64_t& total_uncompressed) {
  std::string reason = extract::Verify(archive, total_uncompressed);
  if (reason.empty()) return true;
  SetFailureReason(std::move(reason));
  return false;
}

}  // namespace vorlune
