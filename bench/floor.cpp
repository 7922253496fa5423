// vorlune-bench-floor ARCHIVE: the least any extractor has to do with an archive, as the yardstick
// for the extraction benchmark: have the whole file in memory, then inflate and CRC-32 every
// member into one reused buffer. No files are written. Exit 1 when a member does not check out.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr std::size_t kChunk = 256 * 1024;

std::uint32_t Get16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }
std::uint32_t Get32(const std::uint8_t* p) {
  return Get16(p) | (static_cast<std::uint32_t>(Get16(p + 2)) << 16);
}

// The archive mapped with every page present up front: reading it into a fresh buffer instead
// costs a page fault per 4 KiB, which on a virtual machine is more than inflating it, and a floor
// should not carry that.
class MappedFile {
 public:
  explicit MappedFile(const char* path) {
    const int fd = open(path, O_RDONLY);
    if (fd < 0) return;
    struct stat info {};
    if (fstat(fd, &info) == 0 && info.st_size > 0) {
      void* data = mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ,
                        MAP_PRIVATE | MAP_POPULATE, fd, 0);
      if (data != MAP_FAILED) {
        data_ = static_cast<const std::uint8_t*>(data);
        size_ = static_cast<std::size_t>(info.st_size);
      }
    }
    close(fd);
  }
  ~MappedFile() {
    if (data_ != nullptr) munmap(const_cast<std::uint8_t*>(data_), size_);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

// Inflates or copies one member's data chunk by chunk into `out`, returning its CRC-32 and size.
bool Unpack(z_stream& z, std::uint32_t method, const std::uint8_t* data, std::size_t size,
            std::uint8_t* out, std::uint32_t& crc, std::uint64_t& produced) {
  crc = static_cast<std::uint32_t>(crc32(0, nullptr, 0));
  produced = 0;
  if (method == 0) {
    for (std::size_t done = 0; done < size;) {
      const std::size_t n = size - done < kChunk ? size - done : kChunk;
      std::memcpy(out, data + done, n);
      crc = static_cast<std::uint32_t>(crc32(crc, out, static_cast<uInt>(n)));
      done += n;
    }
    produced = size;
    return true;
  }
  if (method != 8) return false;
  inflateReset(&z);
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  for (;;) {
    z.next_out = out;
    z.avail_out = static_cast<uInt>(kChunk);
    const int status = inflate(&z, Z_NO_FLUSH);
    const std::size_t n = kChunk - z.avail_out;
    crc = static_cast<std::uint32_t>(crc32(crc, out, static_cast<uInt>(n)));
    produced += n;
    if (status == Z_STREAM_END) return true;
    if (status != Z_OK) return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s ARCHIVE\n", argv[0]);
    return 2;
  }
  const MappedFile archive(argv[1]);
  if (archive.size() < 22) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 2;
  }
  // No archive comment in the benchmark archives: the end record is the last 22 bytes.
  const std::uint8_t* end = archive.data() + archive.size() - 22;
  if (Get32(end) != 0x06054B50) return 2;
  const std::uint32_t count = Get16(end + 10);
  std::size_t entry = Get32(end + 16);

  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return 2;
  const auto out = std::make_unique_for_overwrite<std::uint8_t[]>(kChunk);
  int failures = 0;
  std::uint64_t total = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* central = archive.data() + entry;
    const std::uint32_t method = Get16(central + 10);
    const std::uint32_t crc = Get32(central + 16);
    const std::uint32_t packed = Get32(central + 20);
    const std::uint32_t size = Get32(central + 24);
    const std::uint32_t name_length = Get16(central + 28);
    const std::uint8_t* local = archive.data() + Get32(central + 42);
    entry += 46 + name_length + Get16(central + 30) + Get16(central + 32);
    const std::uint8_t* data = local + 30 + Get16(local + 26) + Get16(local + 28);
    std::uint32_t actual_crc = 0;
    std::uint64_t produced = 0;
    if (!Unpack(z, method, data, packed, out.get(), actual_crc, produced) || actual_crc != crc ||
        produced != size) {
      ++failures;
    }
    total += produced;
  }
  inflateEnd(&z);
  if (failures != 0) {
    std::fprintf(stderr, "%d members failed\n", failures);
    return 1;
  }
  return total > 0 ? 0 : 1;
}
