// One bad entry costs only itself: every preference type with every kind of constraint meets
// malformed value texts in a value file, in the extras file's defaults and in definitions.
// Start-up always succeeds, the entries after a bad one are read, and reading an entry raises
// nothing but a library error.
#include "installation.h"

#include <memory>

namespace {

struct Type {
  const char* name;
  const char* fallback;  // the definition default
  const char* good;      // a value that every constraint below lets pass
  const char* members[2];
  const char* bounds[2];
};

const Type TYPES[] = {
    {"int", "1", "2", {"1", "2"}, {"0", "100"}},
    {"real", "1.5", "2.5", {"1.5", "2.5"}, {"0", "100"}},
    {"logical", "true", "false", {"true", "false"}, {"false", "true"}},
    {"string", "a", "b", {"a", "b"}, {"a", "z"}},
    {"string_list", "a", "b", {"a", "b"}, {"a", "z"}},
};

enum class Constraint { none, enumeration, range, colour_data, colour_widget };
const Constraint CONSTRAINTS[] = {Constraint::none, Constraint::enumeration, Constraint::range,
                                  Constraint::colour_data, Constraint::colour_widget};
const char* const CONSTRAINT_NAMES[] = {"none", "enum", "range", "colour_data", "colour_widget"};

// Only integers are colours, and logicals and lists are never checked against constraints.
bool refuses_every_value(const Type& type, Constraint constraint) {
  const bool colour =
      constraint == Constraint::colour_data || constraint == Constraint::colour_widget;
  const std::string name = type.name;
  return colour && (name == "real" || name == "string");
}

const std::vector<std::string>& malformed_texts() {
  static const std::vector<std::string> texts = {
      "",
      "abc",
      "12abc",
      "1e999",
      "-1e999",
      "1e-999",
      "nan",
      "-nan",
      "inf",
      "  7",
      "7  ",
      "0x1F",
      "+5",
      "-2147483649",
      "99999999999999999999",
      "1.5.5",
      "YES",
      "\"a\"\\\"b\"",
      "\"unclosed\\",
      "${HOME}%x%",
      "<&>\"'",
      "\xc3\xbcn\xc3\xaf \xe2\x82\xac \xf0\x9f\x98\x80",
      std::string(5000, '9'),
  };
  return texts;
}

std::string escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string name_of(const Type& type, Constraint constraint) {
  return std::string(type.name) + "_" + CONSTRAINT_NAMES[static_cast<int>(constraint)];
}

std::string constraint_xml(const Type& type, Constraint constraint) {
  switch (constraint) {
    case Constraint::enumeration:
      return std::string("<Data type=\"enum\"><EnumElem name=\"A\" value=\"") + type.members[0] +
             "\"/><EnumElem name=\"B\" value=\"" + type.members[1] + "\"/></Data>";
    case Constraint::range:
      return std::string("<Data type=\"range\"><LowerBound value=\"") + type.bounds[0] +
             "\" include=\"1\"/><UpperBound value=\"" + type.bounds[1] +
             "\" include=\"1\"/></Data>";
    case Constraint::colour_data:
      return "<Data type=\"color\"><EnumElem name=\"Ink\" value=\"300\"/></Data>";
    case Constraint::colour_widget:
      return "<Color/>";
    case Constraint::none:
      break;
  }
  return "";
}

// Every type with every constraint, then a last preference that only shows that the file was
// read to its end.
std::string table_definitions(const std::string& extra = "") {
  std::string prefs;
  for (const Type& type : TYPES) {
    for (const Constraint constraint : CONSTRAINTS) {
      prefs += "<Pref name=\"" + name_of(type, constraint) + "\" type=\"" + type.name +
               "\" value=\"" + type.fallback + "\">" + constraint_xml(type, constraint) +
               "</Pref>\n";
    }
  }
  prefs += extra + "<Pref name=\"Last\" type=\"string\" value=\"unset\"/>\n";
  return definitions(
      "<Application name=\"Table\" csh=\"tbl\"><Category name=\"C\"><Tab name=\"T\">" + prefs +
      "</Tab></Category></Application>");
}

// For every preference each malformed text, then its good value; the last entry sets Last.
std::string table_entries(const char* element) {
  std::string entries;
  for (const Type& type : TYPES) {
    for (const Constraint constraint : CONSTRAINTS) {
      const std::string name = name_of(type, constraint);
      for (const std::string& text : malformed_texts()) {
        entries += std::string("<") + element + " name=\"" + name + "\" value=\"" + escaped(text) +
                   "\"/>\n";
      }
      entries +=
          std::string("<") + element + " name=\"" + name + "\" value=\"" + type.good + "\"/>\n";
    }
  }
  return entries + "<" + element + " name=\"Last\" value=\"reached\"/>\n";
}

// The value each preference ends with at the level: its good value, or fallback when every
// value is refused.
void expect_good_values(int level, const std::string& fallback_of_level) {
  for (const Type& type : TYPES) {
    for (const Constraint constraint : CONSTRAINTS) {
      const std::string name = name_of(type, constraint);
      const std::string fallback = fallback_of_level.empty() ? "(none)" : type.fallback;
      EXPECT_EQ(value_at(pref(name.c_str()), level),
                refuses_every_value(type, constraint) ? fallback : type.good)
          << name;
    }
  }
  EXPECT_EQ(value_at(pref("Last"), level), "reached");
}

// Reads each text as a value-file entry of each preference, as the loader does: nothing but a
// library error may come out, and a colour refuses other types with its own error.
void expect_only_library_errors(int level) {
  ASSERT_EQ(KVXML_init(), 0);
  int error = 0;
  const std::unique_ptr<XERCES_DOM_ctx, void (*)(XERCES_DOM_ctx*)> document(
      pvtbl_kvxml->XERCES_DOM_create(&error, "UTF-8", 0), pvtbl_kvxml->XERCES_DOM_release);
  ASSERT_NE(document, nullptr);
  for (const Type& type : TYPES) {
    for (const Constraint constraint : CONSTRAINTS) {
      const std::string name = name_of(type, constraint);
      VERU_pref* target = pref(name.c_str());
      for (const std::string& text : malformed_texts()) {
        XERCES_DOM_node* element = pvtbl_kvxml->XERCES_DOM_createElement(document.get(), "Pref");
        pvtbl_kvxml->XERCES_DOM_setAttribute(element, "name", name.c_str());
        pvtbl_kvxml->XERCES_DOM_setAttribute(element, "value", text.c_str());
        std::string what;
        const int code = raised_code([&] { target->read_dom_node(element, level); }, &what);
        EXPECT_TRUE(code == -1 || VERU_is_veru_error(code))
            << name << " \"" << text.substr(0, 40) << "\": " << code << " " << what;
        if (refuses_every_value(type, constraint)) {
          EXPECT_EQ(code, VERU_ERROR_NOT_COLOR) << name << " \"" << text.substr(0, 40) << "\"";
        }
      }
    }
  }
}

}  // namespace

TEST(EntryTextTable, AValueFileEntryCostsOnlyItself) {
  Installation installation;
  installation.define("kv_gateway.dpx", table_definitions());
  installation.write_values(3, values(table_entries("Pref")));
  LogCapture log;
  installation.use_environment();
  EXPECT_EQ(raised_code([] { VERU_init_module(); }), -1) << log.text().substr(0, 2000);
  EXPECT_EQ(VERU_ask_level_load_state(3, nullptr), VERU_LOAD_LOADED);
  expect_good_values(3, "");
  EXPECT_TRUE(log.contains("\tDefault real_colour_widget value is not valid. Value ignored\n"));
  EXPECT_TRUE(log.contains("\tDefault string_colour_data value is not valid. Value ignored\n"));
  expect_only_library_errors(2);
}

TEST(EntryTextTable, AnExtrasDefaultCostsOnlyItself) {
  Installation installation;
  installation.define("kv_gateway.dpx", table_definitions());
  installation.define("kv_extras.dpx", definitions(table_entries("PrefValue")));
  LogCapture log;
  installation.use_environment();
  EXPECT_EQ(raised_code([] { VERU_init_module(); }), -1) << log.text().substr(0, 2000);
  expect_good_values(0, "fallback");
  EXPECT_TRUE(log.contains("\tDefault int_colour_data value is not valid. Value ignored\n"));
  EXPECT_TRUE(log.contains("\tDefault string_colour_widget value is not valid. Value ignored\n"));
  EXPECT_EQ(VERU_ask_int("int_colour_widget"), 2);
  EXPECT_EQ(taken(VERU_ask_string("Last")), "reached");
}

TEST(EntryTextTable, ADefinitionsTextCostsOnlyItsPreferenceOrMember) {
  // Each malformed text as a default, an enumeration member and a range bound of every type.
  std::string extra = "<Pref name=\"Flag_Yes\" type=\"logical\" value=\"yes\"/>\n";
  int index = 0;
  for (const Type& type : TYPES) {
    for (const std::string& raw : malformed_texts()) {
      const std::string text = escaped(raw);
      const std::string number = std::to_string(index++);
      extra += "<Pref name=\"Default" + number + "\" type=\"" + type.name + "\" value=\"" + text +
               "\"/>\n";
      extra += "<Pref name=\"Member" + number + "\" type=\"" + type.name + "\" value=\"" +
               type.fallback + "\"><Data type=\"enum\"><EnumElem name=\"X\" value=\"" + text +
               "\"/><EnumElem name=\"Y\" value=\"" + type.members[1] + "\"/></Data></Pref>\n";
      extra += "<Pref name=\"Bound" + number + "\" type=\"" + type.name + "\" value=\"" +
               type.fallback + "\"><Data type=\"range\"><LowerBound value=\"" + text +
               "\"/><UpperBound value=\"" + type.bounds[1] + "\"/></Data></Pref>\n";
    }
  }
  Installation installation;
  installation.define("kv_gateway.dpx", table_definitions(extra));
  LogCapture log;
  installation.use_environment();
  EXPECT_EQ(raised_code([] { VERU_init_module(); }), -1) << log.text().substr(0, 2000);
  // A logical default other than true reads as false, as value texts given to the type do.
  EXPECT_TRUE(VERU_is_known_default("Flag_Yes"));
  EXPECT_FALSE(VERU_ask_logical("Flag_Yes"));
  EXPECT_TRUE(VERU_is_known_default("Last"));
  EXPECT_EQ(taken(VERU_ask_string("Last")), "unset");
  for (int i = 0; i < index; ++i) {
    const std::string number = std::to_string(i);
    // A default that is no value skips its preference with a line; a member or bound that is
    // none is left out with a line; either way the rest stays.
    const bool defined = VERU_is_known_default(("Default" + number).c_str());
    EXPECT_EQ(defined, !log.contains("VERU: preference Default" + number + " has a default"))
        << number;
    EXPECT_TRUE(VERU_is_known_default(("Member" + number).c_str())) << number;
    EXPECT_TRUE(VERU_is_known_default(("Bound" + number).c_str())) << number;
  }
}
