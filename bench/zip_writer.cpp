#include "bench/zip_writer.h"

#include <zlib.h>

#include <stdexcept>

namespace vorlune::bench {

namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

void Put64(std::vector<std::uint8_t>& out, std::uint64_t value) {
  Put32(out, static_cast<std::uint32_t>(value));
  Put32(out, static_cast<std::uint32_t>(value >> 32));
}

void PutName(std::vector<std::uint8_t>& out, const std::string& name) {
  out.insert(out.end(), name.begin(), name.end());
}

}  // namespace

std::vector<std::uint8_t> RawDeflate(const std::vector<std::uint8_t>& data, int level) {
  z_stream z{};
  // windowBits -15: raw deflate, as ZIP stores it.
  if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::vector<std::uint8_t> out(deflateBound(&z, static_cast<uLong>(data.size())));
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (status != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
  return out;
}

void ZipWriter::AddFile(const std::string& name, const std::vector<std::uint8_t>& data) {
  AddFile(name, data, Options{});
}

void ZipWriter::AddFile(const std::string& name, const std::vector<std::uint8_t>& data,
                        const Options& options) {
  const std::uint32_t crc =
      static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
  const std::vector<std::uint8_t> packed =
      options.method == 8 ? RawDeflate(data, options.level) : data;

  const auto offset = static_cast<std::uint64_t>(archive_.size());
  const std::uint32_t packed_field =
      options.zip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(packed.size());
  const std::uint32_t size_field =
      options.zip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(data.size());
  const std::uint16_t needed = options.zip64 ? 45 : 20;

  Put32(archive_, 0x04034B50);
  Put16(archive_, needed);
  Put16(archive_, options.flags);
  Put16(archive_, options.method);
  Put16(archive_, options.dos_time);
  Put16(archive_, options.dos_date);
  Put32(archive_, crc);
  Put32(archive_, packed_field);
  Put32(archive_, size_field);
  Put16(archive_, static_cast<std::uint32_t>(name.size()));
  Put16(archive_, options.zip64 ? 20 : 0);
  PutName(archive_, name);
  if (options.zip64) {
    Put16(archive_, 0x0001);
    Put16(archive_, 16);
    Put64(archive_, data.size());
    Put64(archive_, packed.size());
  }
  archive_.insert(archive_.end(), packed.begin(), packed.end());

  Put32(central_, 0x02014B50);
  Put16(central_, needed);  // made by MS-DOS
  Put16(central_, needed);
  Put16(central_, options.flags);
  Put16(central_, options.method);
  Put16(central_, options.dos_time);
  Put16(central_, options.dos_date);
  Put32(central_, crc);
  Put32(central_, packed_field);
  Put32(central_, size_field);
  Put16(central_, static_cast<std::uint32_t>(name.size()));
  Put16(central_, options.zip64 ? 28 : 0);  // extra field
  Put16(central_, 0);                       // comment
  Put16(central_, 0);                       // disk
  Put16(central_, 0);                       // internal attributes
  Put32(central_, options.external_attributes);
  Put32(central_, options.zip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(offset));
  PutName(central_, name);
  if (options.zip64) {
    Put16(central_, 0x0001);
    Put16(central_, 24);
    Put64(central_, data.size());
    Put64(central_, packed.size());
    Put64(central_, offset);
  }
  ++count_;
  uncompressed_total_ += data.size();
}

void ZipWriter::AddDirectory(const std::string& name) {
  Options options;
  options.method = 0;
  options.external_attributes = 0x10;
  AddFile(name, {}, options);
}

std::vector<std::uint8_t> ZipWriter::Finish(bool zip64_end) {
  const auto central_offset = static_cast<std::uint64_t>(archive_.size());
  const auto central_size = static_cast<std::uint64_t>(central_.size());
  std::vector<std::uint8_t> out = std::move(archive_);
  out.insert(out.end(), central_.begin(), central_.end());
  if (zip64_end) {
    const auto record_offset = static_cast<std::uint64_t>(out.size());
    Put32(out, 0x06064B50);
    Put64(out, 44);  // size of the rest of the record
    Put16(out, 45);
    Put16(out, 45);
    Put32(out, 0);
    Put32(out, 0);
    Put64(out, count_);
    Put64(out, count_);
    Put64(out, central_size);
    Put64(out, central_offset);
    Put32(out, 0x07064B50);
    Put32(out, 0);
    Put64(out, record_offset);
    Put32(out, 1);
  }
  Put32(out, 0x06054B50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, zip64_end ? 0xFFFF : count_ & 0xFFFF);
  Put16(out, zip64_end ? 0xFFFF : count_ & 0xFFFF);
  Put32(out, zip64_end ? 0xFFFFFFFF : static_cast<std::uint32_t>(central_size));
  Put32(out, zip64_end ? 0xFFFFFFFF : static_cast<std::uint32_t>(central_offset));
  Put16(out, 0);
  archive_.clear();
  central_.clear();
  count_ = 0;
  uncompressed_total_ = 0;
  return out;
}

}  // namespace vorlune::bench
