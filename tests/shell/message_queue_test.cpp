#include "platform/window/message_queue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace halvex::platform {
namespace {

TEST(MessageQueue, SendWaitsForTheWindowThreadAndReturnsItsResult) {
  MessageQueue queue;
  queue.BindToCurrentThread();
  std::vector<std::uint32_t> seen;
  std::thread other([&] {
    queue.Post(0x8100);
    LResult r = queue.Send(0x8101, 5, 6);
    EXPECT_EQ(r, 11);
    queue.Post(WM_QUIT, 3);
  });
  MessageQueue::Handler handler = [&](const Message& m) -> LResult {
    seen.push_back(m.message);
    return static_cast<LResult>(m.wParam) + m.lParam;
  };
  while (queue.Dispatch(handler)) queue.Wait(10);
  other.join();
  EXPECT_EQ(queue.quitCode(), 3);
  EXPECT_EQ(seen, (std::vector<std::uint32_t>{0x8100, 0x8101}));
}

TEST(MessageQueue, SendFromTheWindowThreadRunsAtOnceAndShutdownFreesSenders) {
  MessageQueue queue;
  queue.BindToCurrentThread();
  int nested = 0;
  MessageQueue::Handler handler = [&](const Message& m) -> LResult {
    if (m.message == 1) return queue.Send(2, 0, 0) + 1;  // re-entrant send
    ++nested;
    return 41;
  };
  queue.Post(1);
  queue.Dispatch(handler);
  EXPECT_EQ(nested, 1);

  std::thread waiting([&] { EXPECT_EQ(queue.Send(9, 0, 0), 0); });
  queue.Wait(2000);  // returns once the send is queued
  queue.Shutdown();  // the window thread is gone: the sender must not hang
  waiting.join();
}

TEST(KeyScan, TheCharactersTheChatLineCaresAbout) {
  EXPECT_EQ(KeyScanOfChar(27), 0x2DB);
  EXPECT_EQ(KeyScanOfChar('\r'), 0x0D);
  EXPECT_EQ(KeyScanOfChar(8), 0x08);
  EXPECT_NE(KeyScanOfChar('['), 0x2DB);
}

}  // namespace
}  // namespace halvex::platform
