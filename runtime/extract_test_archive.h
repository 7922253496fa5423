#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vorlune::testing {

// One member of an archive built for a test. The optional fields record something other than
// the truth, to build damaged archives.
struct TestMember {
  TestMember(std::string member_name, std::string member_data = {}, std::uint16_t member_method = 8)
      : name(std::move(member_name)), data(std::move(member_data)), method(member_method) {}

  std::string name;
  std::string data;
  std::uint16_t method = 8;  // 8 deflates `data`; any other value stores it as given
  std::uint16_t flags = 0;
  std::uint16_t dos_date = (39 << 9) | (4 << 5) | 18;          // 2019-04-18
  std::uint16_t dos_time = (10 << 11) | (23 << 5) | (58 / 2);  // 10:23:58
  std::uint32_t external_attributes = 0x20;
  std::uint16_t made_by = 20;  // version 2.0 on MS-DOS
  std::optional<std::uint32_t> recorded_crc;
  std::optional<std::uint32_t> recorded_size;
  std::optional<std::string> compressed;  // the bytes stored in place of the encoded data
};

// A ZIP archive of the members, in order: local headers and data, central directory, end record.
std::string BuildZip(const std::vector<TestMember>& members);

// The members' data deflated without a header, as a ZIP archive holds it.
std::string RawDeflate(const std::string& data);

// Deterministic data that deflates to roughly half its size.
std::string MixedData(std::size_t size, std::uint32_t seed);

}  // namespace vorlune::testing
