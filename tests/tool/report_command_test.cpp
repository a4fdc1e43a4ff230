// kvrn-prefs report: every level's value, lock, date and comment of each preference, as text
// for a terminal or as one well-formed XHTML page, and the requests it refuses.
#include <functional>

#include "tool_run.h"

namespace {

// A parsed page, released at the end of the test.
class Page {
 public:
  explicit Page(const std::string& path) {
    KVXML_init();
    int error = -1;
    context_ = pvtbl_kvxml->XERCES_DOM_create(&error, "UTF-8", 0);
    parsed_ =
        context_ && pvtbl_kvxml->XERCES_DOM_parseFile(context_, path.c_str(), "utf-8", 0) == 0;
  }
  ~Page() { pvtbl_kvxml->XERCES_DOM_release(context_); }
  bool parsed() const { return parsed_; }
  std::string error() const { return pvtbl_kvxml->XERCES_DOM_getErrorText(context_); }
  XERCES_DOM_node* root() const {
    return pvtbl_kvxml->XERCES_DOM_getDocumentElement(
        pvtbl_kvxml->XERCES_DOM_getDocument(context_));
  }

 private:
  XERCES_DOM_ctx* context_ = nullptr;
  bool parsed_ = false;
};

std::string tag(XERCES_DOM_node* node) {
  return pvtbl_kvxml->XERCES_DOM_getNodeName(node);
}
std::string css_class(XERCES_DOM_node* node) {
  const char* value = pvtbl_kvxml->XERCES_DOM_getAttribute(node, "class");
  return value ? value : "";
}
std::vector<XERCES_DOM_node*> children(XERCES_DOM_node* node) {
  std::vector<XERCES_DOM_node*> found;
  for (XERCES_DOM_node* child = pvtbl_kvxml->XERCES_DOM_getFirstChild(node); child;
       child = pvtbl_kvxml->XERCES_DOM_getNextSibling(child)) {
    if (pvtbl_kvxml->XERCES_DOM_getNodeType(child) == XERCES_DOM_ELEMENT_NODE) {
      found.push_back(child);
    }
  }
  return found;
}
// The text of the node and its descendants.
std::string text_of(XERCES_DOM_node* node) {
  if (pvtbl_kvxml->XERCES_DOM_getNodeType(node) == XERCES_DOM_TEXT_NODE) {
    return pvtbl_kvxml->XERCES_DOM_getNodeValue(node);
  }
  std::string text;
  for (XERCES_DOM_node* child = pvtbl_kvxml->XERCES_DOM_getFirstChild(node); child;
       child = pvtbl_kvxml->XERCES_DOM_getNextSibling(child)) {
    text += text_of(child);
  }
  return text;
}
// Every element below node, in document order, that matches.
void find_all(XERCES_DOM_node* node, const std::function<bool(XERCES_DOM_node*)>& matches,
              std::vector<XERCES_DOM_node*>* found) {
  for (XERCES_DOM_node* child : children(node)) {
    if (matches(child)) found->push_back(child);
    find_all(child, matches, found);
  }
}
std::vector<XERCES_DOM_node*> with_class(XERCES_DOM_node* node, const std::string& wanted) {
  std::vector<XERCES_DOM_node*> found;
  find_all(
      node, [&](XERCES_DOM_node* element) { return css_class(element) == wanted; }, &found);
  return found;
}

// The table row of the preference: its preference cell, effective cell and four level cells.
XERCES_DOM_node* row_of(const Page& page, const std::string& name) {
  for (XERCES_DOM_node* cell : with_class(page.root(), "name")) {
    if (text_of(cell) != name) continue;
    std::vector<XERCES_DOM_node*> rows;
    find_all(
        page.root(),
        [&](XERCES_DOM_node* row) {
          if (tag(row) != "tr") return false;
          for (XERCES_DOM_node* td : children(row)) {
            for (XERCES_DOM_node* div : children(td)) {
              if (div == cell) return true;
            }
          }
          return false;
        },
        &rows);
    return rows.size() == 1 ? rows[0] : nullptr;
  }
  return nullptr;
}

// The shown value of a cell: the text of its value element, or its items joined by "|".
std::string value_in(XERCES_DOM_node* cell) {
  std::string items;
  for (XERCES_DOM_node* item : with_class(cell, "item")) items += "|" + text_of(item);
  if (!items.empty()) return items.substr(1);
  const std::vector<XERCES_DOM_node*> values = with_class(cell, "value");
  return values.empty() ? "(none)" : text_of(values[0]);
}

const std::string COMMENT = "<b> & \"quoted\" 'too'\r\nsecond line";

}  // namespace

TEST(ReportCommand, TextShowsEachLevelOfAnApplicationsPreferences) {
  ExampleCopy copy;
  const ToolResult gateway = run_tool(copy, {"report", "Gateway"});
  EXPECT_EQ(gateway.status, 0) << gateway.err;
  EXPECT_TRUE(contains(gateway.out,
                       "\nGateway / General / Autosave\n"
                       "  Gateway_Autosave_Enabled \"Save Work Automatically\" "
                       "(logical)\n"))
      << gateway.out;
  EXPECT_TRUE(contains(gateway.out,
                       "  Gateway_Autosave_Interval \"Save Every\" (int)\n"
                       "    = 5 min  from user\n"
                       "    0 defaults  10\n"
                       "    1 site      15  unlocked (an exception to the level's default lock)  "
                       "2026-11-02T08:20:00Z\n"
                       "    2 group     20  2026-11-16T14:00:00Z\n"
                       "                comment \"Gearbox team: large assemblies take a while to "
                       "save.\"\n"
                       "    3 user      5  2026-11-30T09:15:00Z\n"))
      << gateway.out;
  // The group locks it; the user's entry was ignored and is kept.
  EXPECT_TRUE(contains(gateway.out,
                       "    = 44  from group, locked at group\n"
                       "    0 defaults  24\n"))
      << gateway.out;
  EXPECT_TRUE(contains(gateway.out,
                       "    3 user      no entry; the file's entry was ignored at start-up and "
                       "is carried\n"))
      << gateway.out;
  // A default has a date only where the extras file gives one.
  EXPECT_TRUE(
      contains(gateway.out, "    = 20  from user\n    0 defaults  12  2026-10-05T07:30:00Z\n"))
      << gateway.out;
  EXPECT_FALSE(contains(gateway.out, "Drafting_Standard_Default")) << gateway.out;
  // The same by the application's context-help tag.
  const std::string by_tag = run_tool(copy, {"report", "kv_gateway_app"}).out;
  EXPECT_EQ(by_tag.substr(by_tag.find('\n')), gateway.out.substr(gateway.out.find('\n')));

  const ToolResult changed = run_tool(copy, {"report", "--changed"});
  EXPECT_EQ(changed.status, 0) << changed.err;
  EXPECT_TRUE(contains(changed.out, "Gateway_Autosave_Interval")) << changed.out;
  EXPECT_FALSE(contains(changed.out, "Gateway_Autosave_Enabled")) << changed.out;
  // A string list as its items, never its encoded form.
  EXPECT_TRUE(contains(changed.out,
                       "    = /srv/kvrn/knowledge/rules, ${HOME}/kvrn/rules, /proj/gearbox/rules  "
                       "from user\n"))
      << changed.out;
  EXPECT_FALSE(contains(changed.out, "\\\"")) << changed.out;

  // Text from a file cannot break the layout: line breaks and quotation marks are escaped.
  ASSERT_EQ(
      run_tool(copy, {"comment", "Gateway_Autosave_Interval", COMMENT, "--level", "user"}).status,
      0);
  EXPECT_TRUE(contains(run_tool(copy, {"report", "Gateway"}).out,
                       "comment \"<b> & \\\"quoted\\\" 'too'\\r\\nsecond line\"\n"));
}

TEST(ReportCommand, HtmlIsOneWellFormedPageWithEveryLevelsValues) {
  ExampleCopy copy;
  ASSERT_EQ(
      run_tool(copy, {"comment", "Gateway_Autosave_Interval", COMMENT, "--level", "user"}).status,
      0);
  const std::string path = copy.path("report.html");
  const ToolResult written = run_tool(copy, {"report", "--html", "-o", path});
  EXPECT_EQ(written.status, 0) << written.err;
  EXPECT_EQ(written.out, "report of 381 preferences written to " + path + "\n");
  const std::string html = read_file(path);
  EXPECT_EQ(html.rfind("<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\"", 0), 0u);
  EXPECT_FALSE(contains(html, "<script")) << "the page needs no script";
  EXPECT_FALSE(contains(html, "xml-stylesheet"));

  Page page(path);
  ASSERT_TRUE(page.parsed()) << page.error();
  EXPECT_EQ(with_class(page.root(), "name").size(), 381u);
  // Every level's value, the comments in full (markup and line breaks as written).
  struct Expected {
    const char* name;
    std::vector<std::string> values;  // effective, then levels 0 to 3
  };
  for (const Expected& expected :
       {Expected{"Gateway_Autosave_Interval", {"5", "10", "15", "20", "5"}},
        Expected{
            "Gateway_Units_System",
            {"Metric (mm, kg, s)", "Metric (mm, kg, s)", "Metric (mm, kg, s)", "(none)", "(none)"}},
        Expected{
            "Knowledge_Search_Paths",
            {"/srv/kvrn/knowledge/rules|${HOME}/kvrn/rules|/proj/gearbox/rules",
             "${KVRN_BASE_DIR}/knowledge/rules|${HOME}/kvrn/rules", "/srv/kvrn/knowledge/rules",
             "(none)", "/srv/kvrn/knowledge/rules|${HOME}/kvrn/rules|/proj/gearbox/rules"}}}) {
    SCOPED_TRACE(expected.name);
    XERCES_DOM_node* row = row_of(page, expected.name);
    ASSERT_NE(row, nullptr);
    const std::vector<XERCES_DOM_node*> cells = children(row);
    ASSERT_EQ(cells.size(), 6u);
    for (std::size_t i = 0; i < expected.values.size(); ++i) {
      EXPECT_EQ(value_in(cells[i + 1]), expected.values[i]) << "cell " << i + 1;
    }
    // A narrow page stacks the cells, each under its column's name.
    const char* const labels[] = {"Effective value", "0 defaults", "1 site", "2 group", "3 user"};
    for (std::size_t i = 0; i < 5; ++i) {
      EXPECT_STREQ(pvtbl_kvxml->XERCES_DOM_getAttribute(cells[i + 1], "data-label"), labels[i]);
    }
  }
  XERCES_DOM_node* interval = row_of(page, "Gateway_Autosave_Interval");
  ASSERT_NE(interval, nullptr);
  std::vector<std::string> comments;
  for (XERCES_DOM_node* comment : with_class(interval, "comment")) {
    comments.push_back(text_of(comment));
  }
  EXPECT_EQ(comments, (std::vector<std::string>{
                          "Gearbox team: large assemblies take a while to save.", COMMENT}));
  EXPECT_EQ(css_class(interval), "");
  // Locked rows are marked, with the level that locks them.
  XERCES_DOM_node* standard = row_of(page, "Drafting_Standard_Default");
  ASSERT_NE(standard, nullptr);
  EXPECT_EQ(css_class(standard), "locked");
  EXPECT_EQ(text_of(with_class(children(standard)[1], "lock").at(0)), "locked at site");

  // Standard output carries the same page.
  const ToolResult printed = run_tool(copy, {"report", "--html", "Drafting"});
  EXPECT_EQ(printed.status, 0) << printed.err;
  write_file(copy.path("drafting.html"), printed.out);
  Page drafting(copy.path("drafting.html"));
  ASSERT_TRUE(drafting.parsed()) << drafting.error();
  EXPECT_NE(row_of(drafting, "Drafting_Standard_Default"), nullptr);
  EXPECT_EQ(row_of(drafting, "Gateway_Autosave_Interval"), nullptr);
}

TEST(ReportCommand, RefusesWhatItCannotDoAndShowsAFailedLevel) {
  ExampleCopy copy;
  const ToolResult unknown = run_tool(copy, {"report", "Nowhere"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_EQ(unknown.out, "");
  EXPECT_TRUE(contains(unknown.err, "kvrn-prefs: no application named Nowhere")) << unknown.err;

  const std::string missing = copy.path("no/such/folder/report.html");
  const ToolResult unwritable = run_tool(copy, {"report", "--html", "-o", missing});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_TRUE(contains(unwritable.err, "kvrn-prefs: cannot write the report to " + missing +
                                           ": No such file or directory"))
      << unwritable.err;
  EXPECT_FALSE(file_exists(missing));
  EXPECT_EQ(run_tool(copy, {"report", "-o", copy.path("user")}).status, 1);
  EXPECT_EQ(run_tool(copy, {"report", "Gateway", "Drafting"}).status, 2);

  // A level whose file failed to load: warned about, and named in the page.
  write_file(copy.value_file(2), "<PrefValues defaultLockStatus=\"unlocked\">");
  const std::string path = copy.path("report.html");
  const ToolResult failed = run_tool(copy, {"report", "--html", "-o", path});
  EXPECT_EQ(failed.status, 0) << failed.err;
  EXPECT_TRUE(contains(failed.err, "kvrn-prefs: warning: the group level's file failed to load"))
      << failed.err;
  Page page(path);
  ASSERT_TRUE(page.parsed()) << page.error();
  const std::vector<XERCES_DOM_node*> cells = with_class(page.root(), "failed");
  ASSERT_EQ(cells.size(), 1u);
  EXPECT_TRUE(contains(text_of(cells[0]), copy.value_file(2))) << text_of(cells[0]);
  XERCES_DOM_node* interval = row_of(page, "Gateway_Autosave_Interval");
  ASSERT_NE(interval, nullptr);
  EXPECT_EQ(value_in(children(interval)[4]), "(none)");
}
