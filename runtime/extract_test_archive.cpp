#include "runtime/extract_test_archive.h"

#include <zlib.h>

#include <stdexcept>

namespace vorlune::testing {

namespace {

void Put16(std::string& out, std::uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

}  // namespace

std::string RawDeflate(const std::string& data) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (status != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

std::string MixedData(std::size_t size, std::uint32_t seed) {
  std::string data(size, '\0');
  std::uint32_t state = seed * 2654435761u + 1;
  for (std::size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    // Half the bytes from a small alphabet, half noise: compressible, but not trivially.
    const std::uint32_t bits = state >> 16;
    data[i] = (i / 64) % 2 == 0 ? static_cast<char>('a' + bits % 8) : static_cast<char>(bits);
  }
  return data;
}

std::string BuildZip(const std::vector<TestMember>& members) {
  std::string archive;
  std::string directory;
  for (const TestMember& member : members) {
    const std::string stored = member.compressed    ? *member.compressed
                               : member.method == 8 ? RawDeflate(member.data)
                                                    : member.data;
    const std::uint32_t crc = member.recorded_crc.value_or(
        static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(member.data.data()),
                                         static_cast<uInt>(member.data.size()))));
    const std::uint32_t size =
        member.recorded_size.value_or(static_cast<std::uint32_t>(member.data.size()));
    const auto offset = static_cast<std::uint32_t>(archive.size());

    std::string common;  // the fields both headers share, from "version needed" on
    Put16(common, 20);
    Put16(common, member.flags);
    Put16(common, member.method);
    Put16(common, member.dos_time);
    Put16(common, member.dos_date);
    Put32(common, crc);
    Put32(common, static_cast<std::uint32_t>(stored.size()));
    Put32(common, size);
    Put16(common, static_cast<std::uint32_t>(member.name.size()));
    Put16(common, 0);  // extra field length

    Put32(archive, 0x04034B50);
    archive += common;
    archive += member.name;
    archive += stored;

    Put32(directory, 0x02014B50);
    Put16(directory, member.made_by);
    directory += common;
    Put16(directory, 0);  // comment length
    Put16(directory, 0);  // disk number
    Put16(directory, 0);  // internal attributes
    Put32(directory, member.external_attributes);
    Put32(directory, offset);
    directory += member.name;
  }
  const auto directory_offset = static_cast<std::uint32_t>(archive.size());
  archive += directory;
  Put32(archive, 0x06054B50);
  Put16(archive, 0);
  Put16(archive, 0);
  Put16(archive, static_cast<std::uint32_t>(members.size()));
  Put16(archive, static_cast<std::uint32_t>(members.size()));
  Put32(archive, static_cast<std::uint32_t>(directory.size()));
  Put32(archive, directory_offset);
  Put16(archive, 0);
  return archive;
}

}  // namespace vorlune::testing
