// The checked edits of a level: every bad edit refused with its code and a reason a person can
// act on, leaving the levels and their files as they were; good edits answered by queries at
// once and kept by a save and a fresh start.
#include "installation.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <functional>

namespace {

const char* const PREFERENCES = R"(
<Application name="App" csh="app">
  <Category name="Cat">
    <Tab name="Tab">
      <Pref name="Count" type="int" value="10">
        <Data type="range"><LowerBound value="1" include="1"/><UpperBound value="120" include="1"/></Data>
      </Pref>
      <Pref name="Held" type="int" value="1"/>
      <Pref name="Scale" type="real" value="1.5">
        <Data type="range"><LowerBound value="0.0" include="0"/></Data>
      </Pref>
      <Pref name="Flag" type="logical" value="false"/>
      <Pref name="Note" type="string" value="none"/>
      <Pref name="Paths" type="string_list" value="one"/>
      <Pref name="Standard" type="string" value="ISO">
        <Data type="enum">
          <EnumElem name="ISO" value="ISO"/><EnumElem name="ASME" value="ASME"/><EnumElem name="JIS" value="JIS"/>
        </Data>
      </Pref>
      <Pref name="Projection" type="int" value="1">
        <Data type="enum"><EnumElem name="First Angle" value="1"/><EnumElem name="Third Angle" value="3"/></Data>
      </Pref>
      <Pref name="Colour" type="int" value="5">
        <Data type="color"><EnumElem name="By Layer" value="0"/></Data>
      </Pref>
    </Tab>
  </Category>
</Application>
)";

const char* const NAMES[] = {"Count", "Held",     "Scale",      "Flag",  "Note",
                             "Paths", "Standard", "Projection", "Colour"};

// A date long past, so that an edit that dates an entry shows.
constexpr int OLD_DATE = 1600000000;

std::string commented(const std::string& name, const std::string& value, const std::string& comment,
                      const std::string& extra = "") {
  return "<Pref name=\"" + name + "\" value=\"" + value + "\" " + extra + "><UserComment>" +
         comment + "</UserComment></Pref>\n";
}

void start(const Installation& installation) {
  installation.define("kv_gateway.dpx", definitions(PREFERENCES));
  installation.start();
}

// Dates every entry of the levels OLD_DATE.
void date_entries_long_ago() {
  for (const char* name : NAMES) {
    for (int level = 1; level <= 3; ++level) {
      if (VERU_recorded_value* recorded = pref(name)->ask_recorded_value(level)) {
        recorded->set_modification_date(OLD_DATE);
      }
    }
  }
}

std::vector<std::string> carried(int level) {
  char** names = nullptr;
  const int count = VERU_ask_level_carried_entries(level, &names);
  return taken(names, count);
}

// What the levels record for every preference (value, own lock flag, comment, date), what
// queries answer, the levels' default locks and the entries they carry.
std::string recorded_state() {
  std::string state;
  for (const char* name : NAMES) {
    VERU_pref* each = pref(name);
    state += std::string(name) + " answers " + taken(each->loaded_value()->print()) + "\n";
    for (int level = 1; level <= 3; ++level) {
      const VERU_recorded_value* recorded = each->ask_recorded_value(level);
      if (!recorded) continue;
      state += "  " + std::to_string(level) + ": " + value_at(each, level) + " locked " +
               std::to_string(recorded->ask_locked()) + " comment " +
               text_of(recorded->ask_comment()) + " date " +
               std::to_string(recorded->ask_modification_date()) + "\n";
    }
  }
  for (int level = 1; level <= 3; ++level) {
    state += std::to_string(level) + " locked by default " +
             std::to_string(VERU_is_level_locked_by_default(level)) + ", carries";
    for (const std::string& name : carried(level)) state += " " + name;
    state += "\n";
  }
  return state;
}

// The value files of the defined levels as they lie now.
std::string files_of(const Installation& installation) {
  std::string files;
  for (int level = 1; level <= 3; ++level) {
    if (VERU__is_level_defined(level)) files += read_file(installation.value_file(level)) + "\n";
  }
  return files;
}

// Saves every defined level; the files then written.
std::string saved_files(const Installation& installation) {
  for (int level = 1; level <= 3; ++level) {
    if (!VERU__is_level_defined(level)) continue;
    char* reason = nullptr;
    EXPECT_EQ(VERU_save_level(level, &reason), 0) << level;
    EXPECT_EQ(taken(reason), "(null)");
  }
  return files_of(installation);
}

// A reason reads as part of a sentence: no blanks at either end or doubled, and "an" before a
// word that starts with a vowel ("an int").
bool reads_well(const std::string& reason) {
  if (reason.empty() || std::isspace(static_cast<unsigned char>(reason.front())) ||
      std::isspace(static_cast<unsigned char>(reason.back())) ||
      reason.find("  ") != std::string::npos) {
    return false;
  }
  for (const char* wrong : {"a int", "a integer", "a enum", "a empty", "a item", "a unknown"}) {
    const std::size_t at = reason.find(wrong);
    if (at != std::string::npos && (at == 0 || reason[at - 1] == ' ')) return false;
  }
  return true;
}

// An edit that must be refused: what it is, the call (given where to put the reason), the code
// and the reason expected.
struct Refused {
  std::string what;
  std::function<int(char**)> edit;
  int code;
  std::string reason;
};

// The edit is refused with its code and reason, also when no reason is asked for, and neither
// what the levels record, nor what queries answer, nor the files (as they lie and as a save
// writes them) change.
void expect_refused(const Installation& installation, const Refused& refused) {
  SCOPED_TRACE(refused.what);
  const std::string files = saved_files(installation);
  const std::string state = recorded_state();
  char* reason = nullptr;
  EXPECT_EQ(refused.edit(&reason), refused.code);
  const std::string said = taken(reason);
  EXPECT_EQ(said, refused.reason);
  EXPECT_TRUE(reads_well(said)) << "\"" << said << "\"";
  EXPECT_EQ(refused.edit(nullptr), refused.code);
  EXPECT_EQ(recorded_state(), state);
  EXPECT_EQ(files_of(installation), files);
  EXPECT_EQ(saved_files(installation), files);
}

// VERU_edit_value, after VERU_check_value has given the same answer and changed nothing.
int checked_edit_value(const char* name, int level, const char* text, char** reason) {
  const std::string before = recorded_state();
  char* check_reason = nullptr;
  const int check = VERU_check_value(name, level, text, &check_reason);
  const std::string checked = taken(check_reason);
  EXPECT_EQ(recorded_state(), before) << "checking changed something";
  char* edit_reason = nullptr;
  const int code = VERU_edit_value(name, level, text, &edit_reason);
  EXPECT_EQ(check, code);
  const std::string edited = taken(edit_reason);
  EXPECT_EQ(checked, edited);
  if (reason) *reason = code ? SM_string_copy(edited.c_str()) : nullptr;
  return code;
}

int edit_value(const char* name, int level, const std::string& text, char** reason = nullptr) {
  return checked_edit_value(name, level, text.c_str(), reason);
}

// The edit succeeds, with no reason.
void expect_done(const std::function<int(char**)>& edit) {
  char* reason = nullptr;
  EXPECT_EQ(edit(&reason), 0) << taken(reason);
  EXPECT_EQ(reason, nullptr);
}

std::vector<std::string> asked_list(const char* name) {
  char** items = nullptr;
  const int count = VERU_ask_string_list(name, &items);
  return taken(items, count);
}

const std::string CANNOT_HOLD =
    ", which a value file cannot hold (control characters other than tab and line breaks, and "
    "text that is not UTF-8)";

}  // namespace

TEST(Edit, EachBadEditIsRefusedWithItsCodeAndReasonAndChangesNothing) {
  Installation installation;
  installation.write_values(
      1, values(entry("Held", "2", "locked=\"yes\"") + commented("Note", "site", "from the site")));
  installation.write_values(2, values(entry("Standard", "ASME")));
  installation.write_values(3, values(entry("Count", "5") + commented("Note", "mine", "why") +
                                      entry("Paths", "&quot;a&quot;\\&quot;b&quot;") +
                                      entry("Held", "3") + entry("Retired", "x")));
  start(installation);
  date_entries_long_ago();
  ASSERT_EQ(carried(3), (std::vector<std::string>{"Held", "Retired"}));

  const std::string big(100000, 'x');
  const std::string no_level_0 = "level 0 holds the definitions' defaults, which are not edited";
  std::vector<Refused> cases = {
      // Names.
      {"unknown value", [](char** r) { return edit_value("No_Such", 3, "1", r); },
       VERU_ERROR_UNKNOWN_PREF, "no preference is named No_Such"},
      {"unknown lock", [](char** r) { return VERU_edit_lock("No_Such", 1, true, r); },
       VERU_ERROR_UNKNOWN_PREF, "no preference is named No_Such"},
      {"unknown comment", [](char** r) { return VERU_edit_comment("No_Such", 3, "c", r); },
       VERU_ERROR_UNKNOWN_PREF, "no preference is named No_Such"},
      {"unknown reset", [](char** r) { return VERU_edit_reset("No_Such", 3, r); },
       VERU_ERROR_UNKNOWN_PREF, "no preference is named No_Such"},
      {"null name value", [](char** r) { return checked_edit_value(nullptr, 3, "1", r); },
       VERU_ERROR_UNKNOWN_PREF, "no preference name given"},
      {"null name lock", [](char** r) { return VERU_edit_lock(nullptr, 1, true, r); },
       VERU_ERROR_UNKNOWN_PREF, "no preference name given"},
      {"null name comment", [](char** r) { return VERU_edit_comment(nullptr, 3, "c", r); },
       VERU_ERROR_UNKNOWN_PREF, "no preference name given"},
      {"null name reset", [](char** r) { return VERU_edit_reset(nullptr, 3, r); },
       VERU_ERROR_UNKNOWN_PREF, "no preference name given"},
      {"null int text", [](char** r) { return checked_edit_value("Count", 3, nullptr, r); },
       VERU_ERROR_NOT_INT, "no value given"},
      {"null string text", [](char** r) { return checked_edit_value("Note", 3, nullptr, r); },
       VERU_ERROR_NOT_STRING, "no value given"},
      // Levels.
      {"value at 0", [](char** r) { return edit_value("Note", 0, "x", r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, no_level_0},
      {"lock at 0", [](char** r) { return VERU_edit_lock("Note", 0, true, r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, no_level_0},
      {"comment at 0", [](char** r) { return VERU_edit_comment("Note", 0, "c", r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, no_level_0},
      {"reset at 0", [](char** r) { return VERU_edit_reset("Note", 0, r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, no_level_0},
      {"level lock at 0", [](char** r) { return VERU_edit_level_lock(0, true, r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, no_level_0},
      {"value at 4", [](char** r) { return edit_value("Note", 4, "x", r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, "there is no level 4"},
      {"value at -1", [](char** r) { return edit_value("Note", -1, "x", r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, "there is no level -1"},
      {"lock at 4", [](char** r) { return VERU_edit_lock("Note", 4, true, r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, "there is no level 4"},
      {"unlock at -1", [](char** r) { return VERU_edit_lock("Note", -1, false, r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, "there is no level -1"},
      {"comment at 4", [](char** r) { return VERU_edit_comment("Note", 4, "c", r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, "there is no level 4"},
      {"comment at -1", [](char** r) { return VERU_edit_comment("Note", -1, nullptr, r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, "there is no level -1"},
      {"reset at 4", [](char** r) { return VERU_edit_reset("Note", 4, r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, "there is no level 4"},
      {"reset at -1", [](char** r) { return VERU_edit_reset("Retired", -1, r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, "there is no level -1"},
      {"level lock at 4", [](char** r) { return VERU_edit_level_lock(4, true, r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, "there is no level 4"},
      {"level lock at -1", [](char** r) { return VERU_edit_level_lock(-1, false, r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, "there is no level -1"},
      // Values of the wrong form.
      {"int 12abc", [](char** r) { return edit_value("Count", 3, "12abc", r); }, VERU_ERROR_NOT_INT,
       "not an integer: 12abc"},
      {"int empty", [](char** r) { return edit_value("Count", 3, "", r); }, VERU_ERROR_NOT_INT,
       "not an integer: \"\""},
      {"int blank first", [](char** r) { return edit_value("Count", 3, " 7", r); },
       VERU_ERROR_NOT_INT, "not an integer: \" 7\""},
      {"int blank last", [](char** r) { return edit_value("Count", 3, "7 ", r); },
       VERU_ERROR_NOT_INT, "not an integer: \"7 \""},
      {"int real", [](char** r) { return edit_value("Count", 3, "7.0", r); }, VERU_ERROR_NOT_INT,
       "not an integer: 7.0"},
      {"int too big", [](char** r) { return edit_value("Count", 3, "2147483648", r); },
       VERU_ERROR_NOT_INT, "2147483648 is outside the range of an int, -2147483648 to 2147483647"},
      {"real comma", [](char** r) { return edit_value("Scale", 3, "1,5", r); }, VERU_ERROR_NOT_REAL,
       "not a real number: 1,5 (write it as 2.5, -0.75 or 1e-3)"},
      {"real nan", [](char** r) { return edit_value("Scale", 3, "nan", r); }, VERU_ERROR_NOT_REAL,
       "not a real number: nan (write it as 2.5, -0.75 or 1e-3)"},
      {"real inf", [](char** r) { return edit_value("Scale", 3, "inf", r); }, VERU_ERROR_NOT_REAL,
       "not a real number: inf (write it as 2.5, -0.75 or 1e-3)"},
      {"real too big", [](char** r) { return edit_value("Scale", 3, "1e400", r); },
       VERU_ERROR_NOT_REAL, "1e400 is outside the range of a real number"},
      {"logical yes", [](char** r) { return edit_value("Flag", 3, "yes", r); },
       VERU_ERROR_NOT_LOGICAL, "not a logical: yes (write true or false)"},
      {"list not encoded", [](char** r) { return edit_value("Paths", 3, "\"a\"\\\"b", r); },
       VERU_ERROR_NOT_STRING,
       "not a string list in its encoded form: \"a\"\\\"b (one item bare, or each item in double "
       "quotes with a backslash between them: \"a\"\\\"b\")"},
      {"list of one quoted", [](char** r) { return edit_value("Paths", 3, "\"a\"", r); },
       VERU_ERROR_NOT_STRING,
       "not a string list in its encoded form: \"a\" (one item bare, or each item in double "
       "quotes with a backslash between them: \"a\"\\\"b\")"},
      // Constraints.
      {"enum", [](char** r) { return edit_value("Standard", 3, "ABC", r); }, VERU_ERROR_NOT_IN_ENUM,
       "ABC is not allowed: must be one of ISO, ASME, JIS"},
      {"enum empty", [](char** r) { return edit_value("Standard", 3, "", r); },
       VERU_ERROR_NOT_IN_ENUM, "\"\" is not allowed: must be one of ISO, ASME, JIS"},
      {"enum in another case", [](char** r) { return edit_value("Standard", 3, "iso", r); },
       VERU_ERROR_NOT_IN_ENUM, "iso is not allowed: must be one of ISO, ASME, JIS"},
      {"int enum", [](char** r) { return edit_value("Projection", 3, "2", r); },
       VERU_ERROR_NOT_IN_ENUM, "2 is not allowed: must be one of First Angle (1), Third Angle (3)"},
      {"int enum name", [](char** r) { return edit_value("Projection", 3, "Second", r); },
       VERU_ERROR_NOT_IN_ENUM,
       "Second is not allowed: must be one of First Angle (1), Third Angle (3)"},
      {"range above", [](char** r) { return edit_value("Count", 3, "500", r); },
       VERU_ERROR_RANGE_NOT_IN_CLOSED, "500 is outside [>=1 <=120]"},
      {"range below", [](char** r) { return edit_value("Count", 2, "0", r); },
       VERU_ERROR_RANGE_NOT_IN_CLOSED, "0 is outside [>=1 <=120]"},
      {"range open", [](char** r) { return edit_value("Scale", 3, "0", r); },
       VERU_ERROR_RANGE_NOT_ABOVE, "0.0 is outside [>0.0 ]"},
      {"colour", [](char** r) { return edit_value("Colour", 3, "300", r); }, VERU_ERROR_NOT_COLOR,
       "not a colour: 300 (a colour number from 1 to 216, or one of By Layer (0))"},
      {"colour name", [](char** r) { return edit_value("Colour", 3, "Red", r); },
       VERU_ERROR_NOT_COLOR,
       "not a colour: Red (a colour number from 1 to 216, or one of By Layer (0))"},
      // Locks below.
      {"value locked at site", [](char** r) { return edit_value("Held", 3, "4", r); },
       VERU_ERROR_LOCKED_AT_HIGHER_LEVEL, "locked at level 1 (site)"},
      {"group value locked at site", [](char** r) { return edit_value("Held", 2, "4", r); },
       VERU_ERROR_LOCKED_AT_HIGHER_LEVEL, "locked at level 1 (site)"},
      {"lock locked at site", [](char** r) { return VERU_edit_lock("Held", 2, true, r); },
       VERU_ERROR_LOCKED_AT_HIGHER_LEVEL, "locked at level 1 (site)"},
      {"unlock locked at site", [](char** r) { return VERU_edit_lock("Held", 3, false, r); },
       VERU_ERROR_LOCKED_AT_HIGHER_LEVEL, "locked at level 1 (site)"},
      {"comment locked at site", [](char** r) { return VERU_edit_comment("Held", 3, "c", r); },
       VERU_ERROR_LOCKED_AT_HIGHER_LEVEL, "locked at level 1 (site)"},
      // Text that a value file cannot hold.
      {"control character",
       [](char** r) { return edit_value("Note", 3, std::string("ab\x01", 3), r); },
       VERU_ERROR_NOT_STRING, "the value holds U+0001 at byte 3" + CANNOT_HOLD},
      {"control character in an int", [](char** r) { return edit_value("Count", 3, "1\x1b", r); },
       VERU_ERROR_NOT_INT, "the value holds U+001B at byte 2" + CANNOT_HOLD},
      {"not UTF-8", [](char** r) { return edit_value("Note", 3, "caf\xe9", r); },
       VERU_ERROR_NOT_STRING, "the value holds byte 0xE9 at byte 4" + CANNOT_HOLD},
      {"not UTF-8 in a list", [](char** r) { return edit_value("Paths", 3, "\xff", r); },
       VERU_ERROR_NOT_STRING, "the value holds byte 0xFF at byte 1" + CANNOT_HOLD},
      {"comment control character",
       [](char** r) { return VERU_edit_comment("Note", 3, "bell\a", r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, "the comment holds U+0007 at byte 5" + CANNOT_HOLD},
      {"comment not UTF-8", [](char** r) { return VERU_edit_comment("Note", 3, "\xc3(", r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, "the comment holds byte 0xC3 at byte 1" + CANNOT_HOLD},
      {"100 kB value", [big](char** r) { return edit_value("Note", 3, big, r); },
       VERU_ERROR_NOT_STRING, "the value is longer than 65535 bytes"},
      {"100 kB comment", [big](char** r) { return VERU_edit_comment("Note", 3, big.c_str(), r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, "the comment is longer than 65535 bytes"},
      // What the level cannot take.
      {"comment without a value", [](char** r) { return VERU_edit_comment("Flag", 2, "c", r); },
       VERU_ERROR_NOT_SET_AT_LEVEL, "Flag has no value at level 2 (group) to comment on"},
      {"comment removed without a value",
       [](char** r) { return VERU_edit_comment("Flag", 3, nullptr, r); },
       VERU_ERROR_NOT_SET_AT_LEVEL, "Flag has no value at level 3 (user) to comment on"},
      {"reset of nothing", [](char** r) { return VERU_edit_reset("Flag", 2, r); },
       VERU_ERROR_NOT_SET_AT_LEVEL, "nothing is recorded for Flag at level 2 (group)"},
      {"reset of a name carried elsewhere",
       [](char** r) { return VERU_edit_reset("Retired", 2, r); }, VERU_ERROR_UNKNOWN_PREF,
       "no preference is named Retired"},
      {"lock at user", [](char** r) { return VERU_edit_lock("Note", 3, true, r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE,
       "the user level cannot lock preferences: no level is above it"},
      {"level lock at user", [](char** r) { return VERU_edit_level_lock(3, true, r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE,
       "the user level cannot lock by default: no level is above it"},
  };
  for (const Refused& refused : cases) expect_refused(installation, refused);
}

TEST(Edit, EveryEditOfAnUndefinedLevelIsRefused) {
  Installation installation;
  std::filesystem::remove_all(installation.level_dir(2) + "/startup");
  installation.write_values(3, values(entry("Count", "5")));
  start(installation);
  ASSERT_FALSE(VERU__is_level_defined(2));
  date_entries_long_ago();
  const std::string undefined =
      "level 2 (group) is not defined: its directory variable is not set or has no startup folder";
  const std::vector<Refused> cases = {
      {"value", [](char** r) { return edit_value("Count", 2, "7", r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, undefined},
      {"lock", [](char** r) { return VERU_edit_lock("Count", 2, true, r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, undefined},
      {"unlock", [](char** r) { return VERU_edit_lock("Count", 2, false, r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, undefined},
      {"comment", [](char** r) { return VERU_edit_comment("Count", 2, "c", r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, undefined},
      {"reset", [](char** r) { return VERU_edit_reset("Count", 2, r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, undefined},
      {"level lock", [](char** r) { return VERU_edit_level_lock(2, true, r); },
       VERU_ERROR_LEVEL_NOT_CHANGEABLE, undefined},
  };
  for (const Refused& refused : cases) expect_refused(installation, refused);
  EXPECT_FALSE(file_exists(installation.value_file(2)));
}

TEST(Edit, ValuesAreReadStrictlyDatedNowAndAnsweredByQueriesAtOnce) {
  Installation installation;
  installation.write_values(2, values(entry("Count", "20")));
  start(installation);
  const int before = CLOCK_gmt();
  auto set = [](const char* name, int level, const std::string& text) {
    SCOPED_TRACE(std::string(name) + " " + text);
    expect_done([&](char** r) { return edit_value(name, level, text, r); });
  };
  set("Count", 3, "7");
  EXPECT_EQ(VERU_ask_int("Count"), 7);
  set("Count", 3, "+8");
  EXPECT_EQ(VERU_ask_int("Count"), 8);
  set("Count", 2, "30");  // below the user's value: queries keep answering it
  EXPECT_EQ(VERU_ask_int("Count"), 8);
  EXPECT_EQ(value_at(pref("Count"), 2), "30");
  set("Scale", 3, "1e-3");
  EXPECT_DOUBLE_EQ(VERU_ask_real("Scale"), 0.001);
  EXPECT_EQ(edit_value("Scale", 3, "-0.75e1"),
            VERU_ERROR_RANGE_NOT_ABOVE);  // read, then refused by the range
  set("Scale", 3, "2.5");
  EXPECT_DOUBLE_EQ(VERU_ask_real("Scale"), 2.5);
  set("Flag", 3, "TRUE");
  EXPECT_TRUE(VERU_ask_logical("Flag"));
  set("Flag", 3, "False");
  EXPECT_FALSE(VERU_ask_logical("Flag"));
  set("Note", 3, "");
  EXPECT_EQ(taken(VERU_ask_string("Note")), "");
  set("Note", 3, "tab\there, a new line\r\nand \xc3\xa9");
  EXPECT_EQ(taken(VERU_ask_string("Note")), "tab\there, a new line\r\nand \xc3\xa9");
  const std::string longest(65535, 'y');
  set("Note", 3, longest);
  EXPECT_EQ(taken(VERU_ask_string("Note")), longest);
  set("Paths", 3, "\"a b\"\\\"-c\"");
  EXPECT_EQ(asked_list("Paths"), (std::vector<std::string>{"a b", "-c"}));
  set("Paths", 3, "single");
  EXPECT_EQ(asked_list("Paths"), std::vector<std::string>{"single"});
  set("Standard", 3, "JIS");
  EXPECT_EQ(taken(VERU_ask_string("Standard")), "JIS");
  // A member's name stands for its value.
  set("Projection", 3, "Third Angle");
  EXPECT_EQ(VERU_ask_int("Projection"), 3);
  EXPECT_EQ(value_at(pref("Projection"), 3), "3");
  set("Projection", 3, "1");
  EXPECT_EQ(VERU_ask_int("Projection"), 1);
  set("Colour", 3, "By Layer");
  EXPECT_EQ(VERU_ask_int("Colour"), 0);
  set("Colour", 3, "216");
  EXPECT_EQ(VERU_ask_int("Colour"), 216);
  const int after = CLOCK_gmt();
  for (const char* name : {"Count", "Scale", "Flag", "Note", "Paths", "Projection", "Colour"}) {
    const int date = pref(name)->ask_modification_date(3);
    EXPECT_GE(date, before) << name;
    EXPECT_LE(date, after) << name;
  }
  // The refused one left the last value.
  EXPECT_DOUBLE_EQ(VERU_ask_real("Scale"), 2.5);
  // Nothing is saved until the host saves.
  EXPECT_FALSE(file_exists(installation.value_file(3)));
  EXPECT_FALSE(file_exists(installation.value_file(2) + ".lock"));
}

TEST(Edit, ALockTakesTheEffectiveValueAndHidesHigherLevelsUntilUnlocked) {
  Installation installation;
  installation.write_values(3, values(commented("Count", "5", "mine") + entry("Note", "mine")));
  start(installation);
  expect_done([](char** r) { return VERU_edit_lock("Count", 1, true, r); });
  EXPECT_EQ(value_at(pref("Count"), 1), "10");
  EXPECT_TRUE(pref("Count")->is_locked_at(1));
  EXPECT_EQ(VERU_ask_int("Count"), 10);
  char* reason = nullptr;
  EXPECT_EQ(edit_value("Count", 3, "6", &reason), VERU_ERROR_LOCKED_AT_HIGHER_LEVEL);
  EXPECT_EQ(taken(reason), "locked at level 1 (site)");
  // The user's value is kept, hidden.
  EXPECT_EQ(value_at(pref("Count"), 3), "5");
  EXPECT_EQ(text_of(pref("Count")->ask_comment(3)), "mine");

  // Locking what is locked does nothing, not even date it.
  pref("Count")->ask_recorded_value(1)->set_modification_date(OLD_DATE);
  expect_done([](char** r) { return VERU_edit_lock("Count", 1, true, r); });
  EXPECT_EQ(pref("Count")->ask_modification_date(1), OLD_DATE);

  expect_done([](char** r) { return VERU_edit_lock("Count", 1, false, r); });
  EXPECT_FALSE(pref("Count")->is_locked(1));
  EXPECT_EQ(VERU_ask_int("Count"), 5);
  EXPECT_EQ(value_at(pref("Count"), 1), "10");

  // A level's own value is what it locks.
  expect_done([](char** r) { return edit_value("Note", 2, "group's", r); });
  expect_done([](char** r) { return VERU_edit_lock("Note", 2, true, r); });
  EXPECT_EQ(taken(VERU_ask_string("Note")), "group's");
  EXPECT_EQ(value_at(pref("Note"), 2), "group's");
  EXPECT_FALSE(pref("Note")->is_locked(1));
  EXPECT_TRUE(pref("Note")->is_locked(2));
  // Unlocking at the user level, which never locks, is nothing to do.
  expect_done([](char** r) { return VERU_edit_lock("Flag", 3, false, r); });
  EXPECT_FALSE(pref("Flag")->has_value(3));

  // On a level that locks by default, unlocking records an exception, and locking takes it away.
  expect_done([](char** r) { return VERU_edit_reset("Count", 1, r); });
  expect_done([](char** r) { return VERU_edit_level_lock(1, true, r); });
  EXPECT_EQ(VERU_ask_int("Count"), 10);
  expect_done([](char** r) { return VERU_edit_lock("Count", 1, true, r); });
  EXPECT_FALSE(pref("Count")->has_value(1));
  expect_done([](char** r) { return VERU_edit_lock("Count", 1, false, r); });
  EXPECT_EQ(value_at(pref("Count"), 1), "10");
  EXPECT_FALSE(pref("Count")->is_locked(1));
  EXPECT_EQ(VERU_ask_int("Count"), 5);
  expect_done([](char** r) { return VERU_edit_lock("Count", 1, true, r); });
  EXPECT_TRUE(pref("Count")->is_locked(1));
  EXPECT_EQ(VERU_ask_int("Count"), 10);
}

TEST(Edit, ACommentIsSetAndRemovedWithTheValueKept) {
  Installation installation;
  installation.write_values(3, values(commented("Note", "mine", "why")));
  start(installation);
  date_entries_long_ago();
  expect_done([](char** r) { return VERU_edit_comment("Note", 3, "because <&> \"so\"", r); });
  EXPECT_EQ(text_of(pref("Note")->ask_comment(3)), "because <&> \"so\"");
  EXPECT_GT(pref("Note")->ask_modification_date(3), OLD_DATE);
  ASSERT_EQ(VERU_save_level(3, nullptr), 0);
  EXPECT_NE(read_file(installation.value_file(3))
                .find("<UserComment>because &lt;&amp;&gt; \"so\"</UserComment>"),
            std::string::npos)
      << read_file(installation.value_file(3));

  for (const char* removal : {"", static_cast<const char*>(nullptr)}) {
    expect_done([](char** r) { return VERU_edit_comment("Note", 3, "again", r); });
    expect_done([&](char** r) { return VERU_edit_comment("Note", 3, removal, r); });
    EXPECT_TRUE(TEXT_is_null_text(pref("Note")->ask_comment(3)));
    EXPECT_EQ(value_at(pref("Note"), 3), "mine");
    ASSERT_EQ(VERU_save_level(3, nullptr), 0);
    EXPECT_EQ(read_file(installation.value_file(3)).find("UserComment"), std::string::npos);
  }
}

TEST(Edit, AResetRemovesValueLockCommentAndCarriedEntriesAndQueriesFallBack) {
  Installation installation;
  installation.write_values(1, values(commented("Count", "30", "site's", "locked=\"yes\"")));
  installation.write_values(2, values(entry("Count", "20")));
  installation.write_values(3, values(entry("Count", "5") + entry("Retired", "x") +
                                      entry("Scale", "-1") + commented("Note", "mine", "why")));
  start(installation);
  // The site's lock made the load ignore the group's and the user's entries.
  ASSERT_EQ(carried(2), std::vector<std::string>{"Count"});
  ASSERT_EQ(carried(3), (std::vector<std::string>{"Count", "Retired", "Scale"}));
  EXPECT_EQ(VERU_ask_int("Count"), 30);

  expect_done([](char** r) { return VERU_edit_reset("Count", 1, r); });
  EXPECT_EQ(pref("Count")->ask_recorded_value(1), nullptr);
  EXPECT_FALSE(pref("Count")->is_locked(1));
  EXPECT_EQ(VERU_ask_int("Count"), 10);
  expect_done([](char** r) { return edit_value("Count", 2, "20", r); });
  expect_done([](char** r) { return VERU_edit_comment("Count", 2, "group's", r); });
  EXPECT_EQ(VERU_ask_int("Count"), 20);
  // The level's value, comment and the entry it carries go together.
  expect_done([](char** r) { return VERU_edit_reset("Count", 2, r); });
  EXPECT_EQ(pref("Count")->ask_recorded_value(2), nullptr);
  EXPECT_EQ(carried(2), std::vector<std::string>{});
  EXPECT_EQ(VERU_ask_int("Count"), 10);

  // Entries the load ignored go as well: one whose preference has no value at the level, and
  // one whose name no preference has.
  expect_done([](char** r) { return VERU_edit_reset("Count", 3, r); });
  expect_done([](char** r) { return VERU_edit_reset("Retired", 3, r); });
  EXPECT_EQ(carried(3), std::vector<std::string>{"Scale"});
  char* reason = nullptr;
  EXPECT_EQ(VERU_edit_reset("Retired", 3, &reason), VERU_ERROR_UNKNOWN_PREF);
  EXPECT_EQ(taken(reason), "no preference is named Retired");

  expect_done([](char** r) { return VERU_edit_reset("Note", 3, r); });
  EXPECT_EQ(taken(VERU_ask_string("Note")), "none");
  EXPECT_EQ(pref("Note")->ask_recorded_value(3), nullptr);

  for (int level = 1; level <= 3; ++level) ASSERT_EQ(VERU_save_level(level, nullptr), 0);
  const std::string user = read_file(installation.value_file(3));
  EXPECT_EQ(user.find("Count"), std::string::npos) << user;
  EXPECT_EQ(user.find("Retired"), std::string::npos) << user;
  EXPECT_EQ(user.find("Note"), std::string::npos) << user;
  EXPECT_NE(user.find("name=\"Scale\" value=\"-1\""), std::string::npos) << user;
  for (const int level : {1, 2}) {
    const std::string saved = read_file(installation.value_file(level));
    EXPECT_EQ(saved.find("<Pref "), std::string::npos) << saved;
  }
}

TEST(Edit, ALevelLockChangesWhatQueriesAnswerAtOnceAndTheSavedDefault) {
  Installation installation;
  installation.write_values(1, values(entry("Note", "site")));
  installation.write_values(3, values(entry("Count", "5") + entry("Note", "mine")));
  start(installation);
  const std::string site = installation.value_file(1);
  expect_done([](char** r) { return VERU_edit_level_lock(1, true, r); });
  EXPECT_TRUE(VERU_is_level_locked_by_default(1));
  EXPECT_EQ(VERU_ask_int("Count"), 10);
  EXPECT_EQ(taken(VERU_ask_string("Note")), "site");
  char* reason = nullptr;
  EXPECT_EQ(edit_value("Count", 2, "6", &reason), VERU_ERROR_LOCKED_AT_HIGHER_LEVEL);
  EXPECT_EQ(taken(reason), "locked at level 1 (site)");
  ASSERT_EQ(VERU_save_level(1, nullptr), 0);
  EXPECT_NE(read_file(site).find("<PrefValues defaultLockStatus=\"locked\">"), std::string::npos);

  // Already so: nothing changes.
  expect_done([](char** r) { return VERU_edit_level_lock(1, true, r); });
  EXPECT_TRUE(VERU_is_level_locked_by_default(1));

  expect_done([](char** r) { return VERU_edit_level_lock(1, false, r); });
  EXPECT_EQ(VERU_ask_int("Count"), 5);
  EXPECT_EQ(taken(VERU_ask_string("Note")), "mine");
  ASSERT_EQ(VERU_save_level(1, nullptr), 0);
  EXPECT_NE(read_file(site).find("<PrefValues defaultLockStatus=\"unlocked\">"), std::string::npos);

  expect_done([](char** r) { return VERU_edit_level_lock(2, true, r); });
  EXPECT_EQ(VERU_ask_int("Count"), 10);
  EXPECT_FALSE(VERU_is_level_locked_by_default(1));
}

namespace {

// Runs body in a child process of its own, which starts the module as a new host would; what
// the body found wrong, "" when nothing.
std::string in_child(const std::function<std::string()>& body) {
  int channel[2];
  if (pipe(channel) != 0) return "cannot make a pipe";
  const pid_t child = fork();
  if (child < 0) return "cannot fork";
  if (child == 0) {
    close(channel[0]);
    std::string wrong;
    try {
      wrong = body();
    } catch (const std::exception& error) {
      wrong = std::string("raised: ") + error.what();
    }
    if (write(channel[1], wrong.data(), wrong.size()) < 0) _exit(2);
    _exit(0);
  }
  close(channel[1]);
  std::string wrong;
  char chunk[4096];
  for (ssize_t got; (got = read(channel[0], chunk, sizeof chunk)) > 0;) wrong.append(chunk, got);
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) wrong += " (the child did not end well)";
  return wrong;
}

// "" when the edit answers the expected code, else what went wrong.
std::string done(const char* what, const std::function<int(char**)>& edit, int expected = 0) {
  char* reason = nullptr;
  const int code = edit(&reason);
  const std::string said = taken(reason);
  if (code == expected) return "";
  return std::string(what) + ": " + std::to_string(code) + " " + said + "\n";
}

// Blanks, line breaks and markup that a value file must write so that they read back the same.
const char* const NOTE = " tab\there,\r\nnext  line <&> \"quoted\" ";
const char* const NOTE_COMMENT = "\tline one\r\nline two\rand three, \xc3\xa9 & <b> \n";

}  // namespace

TEST(Edit, SavedEditsAreKeptByAFreshStart) {
  Installation installation;
  installation.write_values(1, values(commented("Held", "2", "site's", "locked=\"yes\"")));
  installation.write_values(2, values(entry("Flag", "true"), "locked"));
  installation.write_values(3, values(entry("Held", "3") + entry("Retired", "x")));
  const int before = CLOCK_gmt();
  const std::string wrong = in_child([&] {
    start(installation);
    std::string found;
    found += done("group unlocked", [](char** r) { return VERU_edit_level_lock(2, false, r); });
    found += done("count", [](char** r) { return edit_value("Count", 3, "7", r); });
    found += done("comment", [](char** r) { return VERU_edit_comment("Count", 3, "mine", r); });
    found += done("standard", [](char** r) { return edit_value("Standard", 2, "JIS", r); });
    found += done("lock standard", [](char** r) { return VERU_edit_lock("Standard", 2, true, r); });
    found += done(
        "standard above", [](char** r) { return edit_value("Standard", 3, "ASME", r); },
        VERU_ERROR_LOCKED_AT_HIGHER_LEVEL);
    found += done("lock scale", [](char** r) { return VERU_edit_lock("Scale", 1, true, r); });
    found += done("paths", [](char** r) { return edit_value("Paths", 3, "\"x\"\\\"y z\"", r); });
    found += done("colour", [](char** r) { return edit_value("Colour", 3, "By Layer", r); });
    found += done("note", [](char** r) { return edit_value("Note", 3, NOTE, r); });
    found += done("note's comment",
                  [](char** r) { return VERU_edit_comment("Note", 3, NOTE_COMMENT, r); });
    found += done("reset held", [](char** r) { return VERU_edit_reset("Held", 1, r); });
    found += done("reset retired", [](char** r) { return VERU_edit_reset("Retired", 3, r); });
    for (const int level : {1, 2, 3}) {
      found += done("save", [level](char** r) { return VERU_save_level(level, r); });
    }
    return found;
  });
  ASSERT_EQ(wrong, "");
  const int after = CLOCK_gmt();

  LogCapture log;
  start(installation);
  EXPECT_FALSE(log.contains("Value ignored")) << log.text();
  EXPECT_EQ(VERU_ask_int("Count"), 7);
  EXPECT_EQ(text_of(pref("Count")->ask_comment(3)), "mine");
  EXPECT_GE(pref("Count")->ask_modification_date(3), before);
  EXPECT_LE(pref("Count")->ask_modification_date(3), after);
  EXPECT_FALSE(VERU_is_level_locked_by_default(2));
  EXPECT_TRUE(VERU_ask_logical("Flag"));
  EXPECT_FALSE(pref("Flag")->is_locked(2));
  EXPECT_EQ(taken(VERU_ask_string("Standard")), "JIS");
  EXPECT_TRUE(pref("Standard")->is_locked_at(2));
  EXPECT_FALSE(pref("Standard")->has_value(3));
  EXPECT_EQ(value_at(pref("Scale"), 1), "1.5");
  EXPECT_TRUE(pref("Scale")->is_locked_at(1));
  EXPECT_EQ(asked_list("Paths"), (std::vector<std::string>{"x", "y z"}));
  EXPECT_EQ(VERU_ask_int("Colour"), 0);
  EXPECT_EQ(taken(VERU_ask_string("Note")), NOTE);
  EXPECT_EQ(text_of(pref("Note")->ask_comment(3)), NOTE_COMMENT);
  // The site's lock went with its entry, so the user's value, kept meanwhile, counts again.
  EXPECT_EQ(pref("Held")->ask_recorded_value(1), nullptr);
  EXPECT_EQ(VERU_ask_int("Held"), 3);
  EXPECT_EQ(carried(3), std::vector<std::string>{});
  EXPECT_EQ(read_file(installation.value_file(3)).find("Retired"), std::string::npos);
}
