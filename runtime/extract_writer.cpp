#include "runtime/extract_writer.h"

#include <utility>

#include "runtime/extract_reader.h"
#include "runtime/failure.h"

namespace vorlune::extract {

namespace {

// Enough buffers that inflating never waits for a write of average speed; with small files each
// holds one whole file, so this many files are under way at once.
constexpr std::size_t kBufferCount = 4;
// Directory entries carry no buffer; this bounds how many may wait.
constexpr std::size_t kMaxJobs = 64;

bool IsSeparator(char c) { return c == '/' || c == kPathSeparator; }

// "C:\" and "/" are roots; every other directory path is used without a trailing separator so
// that each directory has one spelling in the cache.
std::string DirectoryKey(std::string_view path) {
  while (path.size() > 1 && IsSeparator(path.back())) {
    if (path.size() == 3 && path[1] == ':') break;
    path.remove_suffix(1);
  }
  return std::string(path);
}

std::string ParentOf(std::string_view path) {
  std::size_t end = path.size();
  while (end > 0 && !IsSeparator(path[end - 1])) --end;
  if (end == 0) return {};
  std::string parent = DirectoryKey(path.substr(0, end));
  if (!parent.empty() && parent.back() == ':') parent.push_back(kPathSeparator);
  return parent;
}

}  // namespace

FileWriter::FileWriter(FileSystem& fs) : fs_(fs), random_(std::random_device{}()) {
  for (std::size_t i = 0; i < kBufferCount; ++i) {
    buffers_.push_back(std::make_unique_for_overwrite<std::byte[]>(kChunkSize));
    free_buffers_.push_back(buffers_.back().get());
  }
}

FileWriter::~FileWriter() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  work_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void FileWriter::Start() {
  // Creating, writing and closing files costs the system about as much again as inflating
  // their data; on a thread of its own it overlaps with the inflating of what comes next.
  thread_ = std::thread([this] { Run(); });
}

std::byte* FileWriter::AcquireBuffer() {
  std::unique_lock lock(mutex_);
  progress_.wait(lock, [this] { return !free_buffers_.empty(); });
  std::byte* buffer = free_buffers_.back();
  free_buffers_.pop_back();
  return buffer;
}

void FileWriter::ReleaseBuffer(std::byte* buffer) {
  {
    std::lock_guard lock(mutex_);
    free_buffers_.push_back(buffer);
  }
  progress_.notify_all();
}

void FileWriter::QueueDirectory(std::string path) {
  Job job;
  job.kind = Kind::kDirectory;
  job.path = std::move(path);
  Queue(std::move(job));
}

void FileWriter::QueueFile(std::string path, DosDateTime stamp, std::byte* buffer, std::size_t size,
                           bool last) {
  Job job;
  job.kind = Kind::kFile;
  job.path = std::move(path);
  job.stamp = stamp;
  job.buffer = buffer;
  job.size = size;
  job.last = last;
  Queue(std::move(job));
}

void FileWriter::QueueMore(std::byte* buffer, std::size_t size, bool last) {
  Job job;
  job.kind = Kind::kMore;
  job.buffer = buffer;
  job.size = size;
  job.last = last;
  Queue(std::move(job));
}

void FileWriter::QueueAbort() {
  Job job;
  job.kind = Kind::kAbort;
  Queue(std::move(job));
}

void FileWriter::Queue(Job job) {
  {
    std::unique_lock lock(mutex_);
    progress_.wait(lock, [this] { return jobs_.size() < kMaxJobs; });
    jobs_.push_back(std::move(job));
  }
  work_.notify_one();
}

bool FileWriter::Failed() const {
  std::lock_guard lock(mutex_);
  return failed_;
}

bool FileWriter::Drain(std::string& reason) {
  std::unique_lock lock(mutex_);
  progress_.wait(lock, [this] { return jobs_.empty() && !busy_; });
  if (!failed_) return true;
  reason = reason_;
  return false;
}

void FileWriter::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_.wait(lock, [this] { return !jobs_.empty() || stopping_; });
    if (jobs_.empty()) return;
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    busy_ = true;
    const bool skip = failed_;
    lock.unlock();
    if (!skip) Process(job);
    lock.lock();
    if (job.buffer != nullptr) free_buffers_.push_back(job.buffer);
    busy_ = false;
    progress_.notify_all();
  }
}

void FileWriter::Process(Job& job) {
  switch (job.kind) {
    case Kind::kDirectory: {
      std::string reason;
      if (!MakeDirectories(job.path, reason)) Fail(std::move(reason));
      break;
    }
    case Kind::kFile:
      if (Open(job.path, job.stamp)) Write(job);
      break;
    case Kind::kMore:
      if (file_) Write(job);
      break;
    case Kind::kAbort:
      Discard();
      break;
  }
}

bool FileWriter::MakeDirectories(const std::string& path, std::string& reason) {
  return MakeDirectoryLevels(DirectoryKey(path), reason);
}

// Each directory is made once in a run: after that the cache answers.
bool FileWriter::MakeDirectoryLevels(const std::string& path, std::string& reason) {
  if (known_directories_.contains(path)) return true;
  FsError error;
  DirectoryResult made = fs_.MakeDirectory(path, error);
  if (made == DirectoryResult::kMissingParent) {
    const std::string parent = ParentOf(path);
    if (parent.empty() || parent == path) {
      made = DirectoryResult::kFailed;
    } else {
      if (!MakeDirectoryLevels(parent, reason)) return false;
      made = fs_.MakeDirectory(path, error);
    }
  }
  if (made == DirectoryResult::kMade || made == DirectoryResult::kExists) {
    known_directories_.insert(path);
    return true;
  }
  reason = "无法创建文件夹" + Quoted(path) + "：" + error.text;
  return false;
}

// A new file is written under its own name and removed on failure. An existing one is only
// replaced once its successor is complete and checked, so a failing member never destroys it.
bool FileWriter::Open(const std::string& path, DosDateTime stamp) {
  const std::string parent = ParentOf(path);
  std::string reason;
  if (!parent.empty() && !MakeDirectoryLevels(parent, reason)) {
    Fail(std::move(reason));
    return false;
  }
  FsError error;
  std::string written = path;
  CreateResult created = fs_.CreateNewFile(path, file_, error);
  for (int attempt = 0; created == CreateResult::kExists && attempt < 16; ++attempt) {
    written = TemporaryName(parent);
    created = fs_.CreateNewFile(written, file_, error);
  }
  if (created != CreateResult::kCreated) {
    Fail("无法创建文件" + Quoted(written) + "：" + error.text);
    return false;
  }
  file_path_ = path;
  written_path_ = std::move(written);
  file_stamp_ = stamp;
  return true;
}

bool FileWriter::Write(const Job& job) {
  FsError error;
  if (job.size > 0 && !file_->Write(job.buffer, job.size, error)) {
    Discard();
    Fail("无法写入文件" + Quoted(file_path_) + "：" + error.text);
    return false;
  }
  if (!job.last) return true;
  if (!file_->Finish(file_stamp_, error)) {
    Discard();
    Fail("无法写入文件" + Quoted(file_path_) + "：" + error.text);
    return false;
  }
  file_.reset();
  if (written_path_ != file_path_ && !fs_.ReplaceFile(written_path_, file_path_, error)) {
    fs_.RemoveFile(written_path_);
    Fail("无法替换文件" + Quoted(file_path_) + "：" + error.text);
    return false;
  }
  return true;
}

void FileWriter::Discard() {
  if (!file_) return;
  file_.reset();
  fs_.RemoveFile(written_path_);
}

void FileWriter::Fail(std::string reason) {
  std::lock_guard lock(mutex_);
  if (failed_) return;
  failed_ = true;
  reason_ = std::move(reason);
}

std::string FileWriter::TemporaryName(const std::string& directory) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::uint32_t value = random_();
  std::string name = directory;
  if (!name.empty() && !IsSeparator(name.back())) name.push_back(kPathSeparator);
  name += "~vorlune";
  for (int i = 0; i < 8; ++i, value >>= 4) name.push_back(kHex[value & 0xF]);
  name += ".tmp";
  return name;
}

}  // namespace vorlune::extract
