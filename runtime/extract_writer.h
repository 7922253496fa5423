#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "runtime/extract_fs.h"

namespace vorlune::extract {

// Writes extracted members on a thread of its own, in the order they are queued. The first
// failure is kept and everything queued after it is dropped.
class FileWriter {
 public:
  explicit FileWriter(FileSystem& fs);
  ~FileWriter();  // finishes what is queued
  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;

  // Makes the directory and every missing level above it, on the calling thread; only before
  // Start.
  bool MakeDirectories(const std::string& path, std::string& reason);
  void Start();

  // A buffer of kChunkSize bytes to fill; waits for one to come free.
  std::byte* AcquireBuffer();
  void ReleaseBuffer(std::byte* buffer);

  void QueueDirectory(std::string path);
  // The first piece of a new file, which the writer creates at `path`.
  void QueueFile(std::string path, DosDateTime stamp, std::byte* buffer, std::size_t size,
                 bool last);
  // A further piece of the file begun last.
  void QueueMore(std::byte* buffer, std::size_t size, bool last);
  // Drops the file begun last, leaving whatever it would have replaced.
  void QueueAbort();

  bool Failed() const;
  // Waits until everything queued is done; false with the reason of the first failure.
  bool Drain(std::string& reason);

 private:
  enum class Kind { kDirectory, kFile, kMore, kAbort };
  struct Job {
    Kind kind = Kind::kAbort;
    std::string path;
    DosDateTime stamp;
    std::byte* buffer = nullptr;
    std::size_t size = 0;
    bool last = false;
  };

  void Queue(Job job);
  void Run();
  void Process(Job& job);
  bool MakeDirectoryLevels(const std::string& path, std::string& reason);
  bool Open(const std::string& path, DosDateTime stamp);
  bool Write(const Job& job);
  void Discard();
  void Fail(std::string reason);
  std::string TemporaryName(const std::string& directory);

  FileSystem& fs_;
  std::unordered_set<std::string> known_directories_;
  std::mt19937 random_;

  // The file being written, on the writer thread.
  std::unique_ptr<OutputFile> file_;
  std::string file_path_;     // its final name
  std::string written_path_;  // where it is written: the final name or a temporary one
  DosDateTime file_stamp_;

  std::vector<std::unique_ptr<std::byte[]>> buffers_;
  mutable std::mutex mutex_;
  std::condition_variable work_;      // for the writer: jobs queued, or the end
  std::condition_variable progress_;  // for the queueing side: a buffer free, room, or idle
  std::deque<Job> jobs_;
  std::vector<std::byte*> free_buffers_;
  bool busy_ = false;
  bool stopping_ = false;
  bool failed_ = false;
  std::string reason_;
  std::thread thread_;
};

}  // namespace vorlune::extract
