// kvrn-prefs edit: the library's changes as the pages' events.
#include "editor_live.h"

#include "change_json.h"

editor_live::editor_live(editor_events& events) : events_(events) {}

editor_live::~editor_live() {
  if (watching_) VERU_unwatch_levels();
  if (listener_) VERU_remove_change_listener(listener_);
}

std::string editor_live::start() {
  listener_ = VERU_add_change_listener(nullptr, 0, tell, this);
  char* reason = nullptr;
  watching_ = VERU_watch_levels(0, &reason) == 0;
  return watching_ ? "" : taken(reason);
}

editor_live::applying::applying(editor_live& live, const std::string& page) : live_(live) {
  // Only an id of the page's own making is echoed; anything else names no page.
  live_.applying_page_ =
      page.size() <= 64 && page.find_first_not_of("0123456789abcdef-") == std::string::npos ? page
                                                                                            : "";
}

editor_live::applying::~applying() {
  live_.applying_page_.clear();
}

// {"by": the page whose Apply made these edits, or null, "changes": [records], "all": whether
// the preferences' records were left out for being too many}.
void editor_live::tell(const VERU_change_s* changes, int count, void* data) {
  auto* live = static_cast<editor_live*>(data);
  int named = 0;
  for (int i = 0; i < count; ++i) named += changes[i].name != nullptr;
  const bool all = named > EDITOR_LISTED_CHANGES;
  json_document records = json_document::array();
  bool edit = false;
  for (int i = 0; i < count; ++i) {
    edit |= changes[i].cause == VERU_CAUSE_EDIT;
    if (!all || !changes[i].name) records.push_back(change_json(changes[i]));
  }
  const bool by_page = edit && !live->applying_page_.empty();
  live->events_.publish("changes",
                        json_text({{"by", by_page ? json_document(live->applying_page_) : nullptr},
                                   {"changes", std::move(records)},
                                   {"all", all}}));
}
