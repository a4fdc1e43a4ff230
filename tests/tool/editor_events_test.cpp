// The editor's event streams: every open page gets each event, their number is bounded, a page
// that does not read is ended rather than kept in memory, and a stop ends every stream at once.
#include <gtest/gtest.h>

#include <future>
#include <string>

#include "editor_events.h"

TEST(EditorEvents, EachStreamGetsEveryEventAfterItsReadyEvent) {
  editor_events events;
  const int first = events.open();
  const int second = events.open();
  events.publish("changes", R"({"n":1})");
  for (const int stream : {first, second}) {
    std::string text;
    ASSERT_TRUE(events.next(stream, &text));
    EXPECT_EQ(text, "retry: 2000\nevent: ready\ndata: {}\n\nevent: changes\ndata: {\"n\":1}\n\n");
  }
}

TEST(EditorEvents, AtMostTheLimitAreOpenAndAClosedOneMakesRoom) {
  editor_events events;
  int last = -1;
  for (std::size_t i = 0; i < EDITOR_STREAM_LIMIT; ++i) last = events.open();
  EXPECT_EQ(events.open(), -1);
  events.close(last);
  EXPECT_GE(events.open(), 0);
}

TEST(EditorEvents, AStreamThatFallsBehindEndsAndTheOthersGoOn) {
  editor_events events;
  const int behind = events.open();
  const int reading = events.open();
  const std::string batch(64 * 1024, 'x');
  std::string text;
  for (int i = 0; i < 20; ++i) {
    events.publish("changes", batch);
    ASSERT_TRUE(events.next(reading, &text));
  }
  EXPECT_FALSE(events.next(behind, &text));
}

TEST(EditorEvents, NothingToSayIsAHeartbeatAndAStopEndsAWaitingStream) {
  editor_events events(std::chrono::milliseconds(10));
  const int stream = events.open();
  std::string text;
  ASSERT_TRUE(events.next(stream, &text));
  ASSERT_TRUE(events.next(stream, &text));
  EXPECT_EQ(text, ":\n\n");

  editor_events stopping(std::chrono::hours(1));
  const int waiting = stopping.open();
  ASSERT_TRUE(stopping.next(waiting, &text));
  auto ended = std::async(std::launch::async, [&] {
    std::string none;
    return stopping.next(waiting, &none);
  });
  stopping.close_all();
  EXPECT_FALSE(ended.get());
  EXPECT_EQ(stopping.open(), -1);
}
