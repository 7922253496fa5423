#include "runtime/window_description.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace vorlune {
namespace {

struct ClampCase {
  std::int64_t requested;
  int page_count;
  int expected;
};

TEST(ClampPageTest, KeepsThePageWithinTheContainer) {
  constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kMin64 = std::numeric_limits<std::int64_t>::min();
  const ClampCase cases[] = {
      {0, 7, 0},      {3, 7, 3},      {6, 7, 6},           {7, 7, 6}, {-1, 7, 0},
      {kMax64, 7, 6}, {kMin64, 7, 0}, {0x100000003, 7, 6},  // never wraps to a small page
      {0, 0, 0},      {5, 0, 0},      {-5, 0, 0},          {1, 1, 0},
  };
  for (const ClampCase& c : cases) {
    EXPECT_EQ(ClampPage(c.requested, c.page_count), c.expected)
        << "requested " << c.requested << " of " << c.page_count << " pages";
  }
}

}  // namespace
}  // namespace vorlune
