#include "services/timer_control.h"

#include <gtest/gtest.h>

namespace zelvo {
namespace {

TEST(TimerControlTest, KeepsItsDesign) {
  TimerControl timer(500, L"1");
  EXPECT_EQ(timer.interval(), 500u);
  EXPECT_TRUE(timer.enabled());
  EXPECT_EQ(timer.tag(), L"1");
}

TEST(TimerControlTest, RunsTheHandlerOnEachTick) {
  TimerControl timer(500, L"");
  int ticks = 0;
  timer.onTick([&] { ++ticks; });
  EXPECT_TRUE(timer.tick());
  EXPECT_TRUE(timer.tick());
  EXPECT_EQ(ticks, 2);
}

TEST(TimerControlTest, DropsATickThatFallsDueWhileTheHandlerRuns) {
  TimerControl timer(500, L"");
  int ticks = 0;
  bool nestedRan = true;
  timer.onTick([&] {
    ++ticks;
    if (ticks == 1) nestedRan = timer.tick();
  });
  EXPECT_TRUE(timer.tick());
  EXPECT_FALSE(nestedRan);
  EXPECT_EQ(ticks, 1);
  EXPECT_TRUE(timer.tick());  // the guard is released once the handler returns
  EXPECT_EQ(ticks, 2);
}

TEST(TimerControlTest, ReleasesTheGuardWhenTheHandlerThrows) {
  TimerControl timer(500, L"");
  int ticks = 0;
  timer.onTick([&] {
    if (++ticks == 1) throw std::runtime_error("first");
  });
  EXPECT_THROW(timer.tick(), std::runtime_error);
  EXPECT_TRUE(timer.tick());
  EXPECT_EQ(ticks, 2);
}

TEST(TimerControlTest, WithoutAHandlerATickDoesNothing) {
  TimerControl timer(500, L"1");
  EXPECT_FALSE(timer.tick());
}

}  // namespace
}  // namespace zelvo
