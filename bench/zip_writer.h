#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorlune::bench {

// A small ZIP writer for generated test and benchmark archives: members back to back from offset
// 0, central directory, end record; no data descriptors, no archive comment.
class ZipWriter {
 public:
  struct Options {
    std::uint16_t method = 8;  // 0 stored, 8 deflated
    int level = 6;
    std::uint16_t dos_date = 0x4E92;  // 2019-04-18
    std::uint16_t dos_time = 0x52FD;  // 10:23:58
    std::uint16_t flags = 0;
    std::uint32_t external_attributes = 0x20;
    bool zip64 = false;  // sizes and offset in a Zip64 extra field
  };

  void AddFile(const std::string& name, const std::vector<std::uint8_t>& data);
  void AddFile(const std::string& name, const std::vector<std::uint8_t>& data,
               const Options& options);
  void AddDirectory(const std::string& name);  // name ends in '/'

  // The finished archive; the writer is empty again afterwards. With `zip64_end` the end record
  // is preceded by a Zip64 end record and its locator.
  std::vector<std::uint8_t> Finish(bool zip64_end = false);

  std::uint64_t UncompressedTotal() const { return uncompressed_total_; }

 private:
  std::vector<std::uint8_t> archive_;
  std::vector<std::uint8_t> central_;
  std::uint32_t count_ = 0;
  std::uint64_t uncompressed_total_ = 0;
};

// Raw deflate (no zlib header) of `data` at `level`.
std::vector<std::uint8_t> RawDeflate(const std::vector<std::uint8_t>& data, int level);

}  // namespace vorlune::bench
