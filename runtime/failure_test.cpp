#include "runtime/failure.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "runtime/services.h"

namespace vorlune {
namespace {

TEST(FailureReason, EachThreadKeepsItsOwn) {
  SetFailureReason("无法创建文件“a”");
  std::string seen_there;
  // A thread that keeps a reason and ends: under Wine's heap checking this is where a reason
  // held in a thread_local string freed a stale pointer.
  std::thread other([&] {
    seen_there = LastFailureReason();
    SetFailureReason("无法写入文件“b”");
  });
  other.join();
  EXPECT_EQ(seen_there, "");
  EXPECT_EQ(LastFailureReason(), "无法创建文件“a”");
  ClearFailureReason();
  EXPECT_EQ(LastFailureReason(), "");
}

TEST(FailureReason, AnOverlongReasonLosesItsEndNeverHalfACharacter) {
  // Three-byte characters after one ASCII byte: whole characters never end at the cut.
  const std::string reason = "x" + [] {
    std::string path;
    for (int i = 0; i < 3000; ++i) path += "路";
    return path;
  }();
  SetFailureReason(reason);
  const std::string kept = LastFailureReason();
  EXPECT_LT(kept.size(), reason.size());
  EXPECT_GT(kept.size(), 1000u);
  EXPECT_EQ((kept.size() - 1) % 3, 0u) << "cut inside a character";
  EXPECT_EQ(reason.compare(0, kept.size(), kept), 0);
  ClearFailureReason();
}

}  // namespace
}  // namespace vorlune
