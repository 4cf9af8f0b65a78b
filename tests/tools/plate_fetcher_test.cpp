// The thread that fetches the next draw's plate: every answer belongs to the
// draw asked for, however the fetch and the wait race, and nothing asked is lost.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "plate_fetcher.h"

namespace {

TEST(PlateFetcher, EachWaitAnswersItsOwnAskOnOneThreadAndStopsCleanly) {
  std::atomic<int> lFetched{0};
  std::thread::id lFirstThread, lThread;
  bool lOneThread = true;
  vthud_tool::PlateFetcher lFetcher([&](long long pIndex) {
    // Fetches of varied length so the wait comes before, during and after them.
    if (pIndex % 3 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    lThread = std::this_thread::get_id();
    if (lFirstThread == std::thread::id()) lFirstThread = lThread;
    lOneThread = lOneThread && lThread == lFirstThread;
    ++lFetched;
    return pIndex % 7 != 0;
  });
  EXPECT_FALSE(lFetcher.Wait()) << "a wait with nothing asked answers at once";
  for (long long i = 1; i <= 2000; ++i) {
    lFetcher.Ask(i);
    if (i % 5 == 0) std::this_thread::sleep_for(std::chrono::microseconds(100));
    ASSERT_EQ(lFetcher.Wait(), i % 7 != 0) << "draw " << i;
  }
  EXPECT_EQ(lFetched.load(), 2000);
  EXPECT_TRUE(lOneThread);
  EXPECT_NE(lFirstThread, std::this_thread::get_id());
}

TEST(PlateFetcher, AFetchAskedAndNeverWaitedForStillRunsBeforeTheEnd) {
  std::atomic<int> lFetched{0};
  {
    vthud_tool::PlateFetcher lFetcher([&](long long) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      ++lFetched;
      return true;
    });
    lFetcher.Ask(1);
  }
  EXPECT_EQ(lFetched.load(), 1);
}

}  // namespace
