// The editor's event streams: a page that does not read its events is ended rather than kept in
// memory, and the other pages go on. (The limit of streams and a stop with streams open are
// tested on the running editor.)
#include <gtest/gtest.h>

#include <string>

#include "editor_events.h"

TEST(EditorEvents, AStreamThatFallsBehindEndsAndTheOthersGoOn) {
  editor_events events;
  const int behind = events.open();
  const int reading = events.open();
  const std::string batch(64 * 1024, 'x');
  std::string text;
  for (int i = 0; i < 20; ++i) {
    events.publish("changes", batch);
    ASSERT_TRUE(events.next(reading, &text));
    EXPECT_NE(text.find("event: changes\ndata: " + batch + "\n\n"), std::string::npos);
  }
  EXPECT_FALSE(events.next(behind, &text));
}
