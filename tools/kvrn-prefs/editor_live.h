// kvrn-prefs edit: what changes in the preferences while the editor runs, whether a page of the
// editor applied it or another process changed a value file, told to every open page as one
// "changes" event per batch of the library. Lives on the thread that owns the library.
#pragma once

#include <string>

#include "editor_events.h"
#include "tool.h"

// A batch naming more preferences than this is sent without them: the pages read everything.
constexpr int EDITOR_LISTED_CHANGES = 100;

class editor_live {
 public:
  explicit editor_live(editor_events& events);
  // Stops watching and removes the listener.
  ~editor_live();
  editor_live(const editor_live&) = delete;
  editor_live& operator=(const editor_live&) = delete;

  // Listens to the library's changes and watches the value files. "" when watching; otherwise
  // why not, and the pages are still told of each other's edits.
  std::string start();

  // While it lives, the edits made are those of the page with this id (one the page made up
  // and sends with its Apply): their event names it, so that the page knows it as its own.
  class applying {
   public:
    applying(editor_live& live, const std::string& page);
    ~applying();
    applying(const applying&) = delete;
    applying& operator=(const applying&) = delete;

   private:
    editor_live& live_;
  };

 private:
  static void tell(const VERU_change_s* changes, int count, void* data);
  editor_events& events_;
  int listener_ = 0;
  bool watching_ = false;
  std::string applying_page_;
};
