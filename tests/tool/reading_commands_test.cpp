// kvrn-prefs levels, list, find, get and explain on a copy of the example installation: what each
// shows, its JSON, its refusals, and the nearest names offered for an unknown one.
#include "json_reader.h"
#include "tool_run.h"

namespace {

JsonValue json_of(const ToolResult& result) {
  JsonValue value;
  std::string error;
  EXPECT_TRUE(parse_json(result.out, &value, &error)) << error << "\n" << result.out;
  return value;
}

// The names of a JSON array of preferences.
std::vector<std::string> names_of(const JsonValue& prefs) {
  std::vector<std::string> names;
  for (const JsonValue& pref : prefs.items) names.push_back(pref["name"].text);
  return names;
}

}  // namespace

TEST(ReadingCommands, LevelsShowsTheDefinitionsLevelAsAlwaysThere) {
  ExampleCopy copy;
  const ToolResult text = run_tool(copy, {"levels"});
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(text.err, "");  // quiet: the library's log only with -v
  EXPECT_TRUE(contains(text.out,
                       "0     defaults always  no        no        (definition files)\n"
                       "      the definitions' defaults, always there\n"))
      << text.out;
  EXPECT_TRUE(contains(text.out, "3     user     yes     yes       no        " +
                                     copy.value_file(3) +
                                     "\n      loaded, 8 entries ignored and carried\n"))
      << text.out;

  const JsonValue levels = json_of(run_tool(copy, {"levels", "--json"}));
  ASSERT_EQ(levels.size(), 4u);
  EXPECT_EQ(levels[0]["defined"].text, "true");
  EXPECT_EQ(levels[0]["state"].text, "definitions");
  EXPECT_TRUE(levels[0]["file"].is_null());
  EXPECT_EQ(levels[1]["locked_by_default"].text, "true");
  EXPECT_EQ(levels[2]["carried"].text, "1");
  EXPECT_EQ(levels[3]["file"].text, copy.value_file(3));
  EXPECT_EQ(levels[3]["state"].text, "loaded");
  EXPECT_TRUE(levels[3]["error"].is_null());

  // A broken user file: the state says so with the parser's reason.
  write_file(copy.value_file(3), "<PrefValues><Pref name=\"x\"></PrefValues>");
  const JsonValue broken = json_of(run_tool(copy, {"levels", "--json"}));
  EXPECT_EQ(broken[3]["state"].text, "failed");
  EXPECT_TRUE(contains(broken[3]["error"].text, copy.value_file(3))) << broken[3]["error"].text;
  EXPECT_EQ(run_tool(copy, {"levels", "extra"}).status, 2);

  // A level that is not defined says why, and so does an edit of it.
  std::vector<std::string> environment = copy.environment();
  environment[2] = "KVRN_GROUP_DIR=" + copy.path("nowhere");
  const std::string why = "No user customizations read from KVRN_GROUP_DIR - directory " +
                          copy.path("nowhere") + " does not exist";
  EXPECT_TRUE(contains(run_tool(environment, {"levels"}).out,
                       "2     group    no      no        no        -\n      " + why + "\n"));
  const JsonValue undefined = json_of(run_tool(environment, {"levels", "--json"}));
  EXPECT_EQ(undefined[2]["undefined_reason"].text, why);
  EXPECT_TRUE(undefined[3]["undefined_reason"].is_null());
  EXPECT_EQ(
      run_tool(environment, {"set", "Gateway_Autosave_Interval", "7", "--level", "group"}).err,
      "kvrn-prefs: the group level is not defined: " + why + " (see kvrn-prefs levels)\n");
}

TEST(ReadingCommands, ListFiltersByLevelAndChangeAndShowsTitles) {
  ExampleCopy copy;
  const ToolResult drafting = run_tool(copy, {"list", "Drafting", "--changed"});
  EXPECT_EQ(drafting.status, 0) << drafting.err;
  EXPECT_EQ(drafting.out,
            "Drafting (application)\n"
            "  Standards (category)\n"
            "    Drawing Standard (tab)\n"
            "      Drafting_Standard_Default \"Drafting Standard\" = ASME  [locked at site]\n"
            "  Sheets (category)\n"
            "    Format (tab)\n"
            "      Drafting_Sheet_Default_Size \"Sheet Size\" = A2 (420 x 594)  [locked at group]\n"
            "  Annotation (category)\n"
            "    Text (tab)\n"
            "      Drafting_Text_Height \"Character Height\" = 5.0 mm\n");

  // The group file's entries, without the one start-up ignored (Drafting_Standard_Default).
  const JsonValue group = json_of(run_tool(copy, {"list", "--level", "group", "--json"}));
  EXPECT_EQ(names_of(group), (std::vector<std::string>{
                                 "Gateway_Startup_Template_Part", "Gateway_Autosave_Interval",
                                 "Gateway_Display_Background_Color", "Drafting_Sheet_Default_Size",
                                 "Assemblies_Load_Mode", "Manufacturing_Feed_Default_Cut",
                                 "Visualization_Shading_Mode"}));
  const JsonValue& feed = group[5];
  EXPECT_EQ(feed["title"].text, "Cutting Feed");
  EXPECT_EQ(feed["type"].text, "real");
  EXPECT_EQ(feed["value"].kind, JsonValue::number);
  EXPECT_EQ(std::stod(feed["value"].text), 800.0);
  EXPECT_EQ(feed["group"].text, "Feeds");
  EXPECT_EQ(feed["source"].text, "2");
  EXPECT_EQ(feed["locked_at"].text, "2");
  EXPECT_EQ(feed["unit"].text, "mm/min");

  // Every preference has an entry at level 0; none changed without value files.
  const JsonValue all = json_of(run_tool(copy, {"list", "--level", "defaults", "--json"}));
  EXPECT_EQ(all.size(), 381u);
  for (int level = 1; level <= 3; ++level) std::remove(copy.value_file(level).c_str());
  EXPECT_EQ(run_tool(copy, {"list", "--changed"}).out, "");

  EXPECT_EQ(run_tool(copy, {"list", "--level", "top"}).status, 2);
  EXPECT_EQ(run_tool(copy, {"list", "a", "b"}).status, 2);
  EXPECT_EQ(run_tool(copy, {"list", "Nothing"}).status, 1);
}

TEST(ReadingCommands, FindLooksInNamesTitlesAndDescriptionsWhateverTheCase) {
  ExampleCopy copy;
  const ToolResult found = run_tool(copy, {"find", "AUTOSAVE"});
  EXPECT_EQ(found.status, 0) << found.err;
  EXPECT_EQ(found.out,
            "Gateway_Autosave_Enabled \"Save Work Automatically\" = On\n"
            "Gateway_Autosave_Interval \"Save Every\" = 5 min\n"
            "Gateway_Autosave_Versions_Kept \"Copies to Keep\" = 3\n"
            "Gateway_Autosave_Directory \"Autosave Folder\" = ${HOME}/kvrn/autosave\n");
  // "plotters" is only in a description, which kv_extras.dpx gave.
  const JsonValue plotters = json_of(run_tool(copy, {"find", "plotters", "--json"}));
  ASSERT_EQ(plotters.size(), 1u);
  EXPECT_EQ(plotters[0]["name"].text, "Drafting_Text_Height");
  EXPECT_TRUE(contains(plotters[0]["description"].text, "plotters print legibly"));

  const ToolResult none = run_tool(copy, {"find", "no such words"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "");
  const ToolResult none_json = run_tool(copy, {"find", "no such words", "--json"});
  EXPECT_EQ(none_json.status, 1);
  EXPECT_EQ(json_of(none_json).size(), 0u);
  EXPECT_EQ(run_tool(copy, {"find"}).status, 2);
}

TEST(ReadingCommands, GetAndExplainGiveJsonAndSuggestNearNames) {
  ExampleCopy copy;
  const JsonValue list = json_of(run_tool(copy, {"get", "Knowledge_Search_Paths", "--json"}));
  EXPECT_EQ(list["type"].text, "string_list");
  ASSERT_EQ(list["value"].size(), 3u);
  EXPECT_EQ(list["value"][1].text, "${HOME}/kvrn/rules");
  EXPECT_EQ(
      json_of(run_tool(copy, {"get", "Gateway_Session_Record_Macro", "--json"}))["value"].text,
      "true");
  const JsonValue drafting =
      json_of(run_tool(copy, {"get", "Drafting_Standard_Default", "--json"}));
  EXPECT_EQ(drafting["value"].kind, JsonValue::string);
  EXPECT_EQ(drafting["value"].text, "ASME");

  const ToolResult typo = run_tool(copy, {"get", "gateway_autosave_intervl"});
  EXPECT_EQ(typo.status, 1);
  EXPECT_EQ(typo.err,
            "kvrn-prefs: no preference is named gateway_autosave_intervl (did you mean "
            "Gateway_Autosave_Interval?)\n");
  EXPECT_TRUE(contains(run_tool(copy, {"explain", "Autosave_Interval"}).err,
                       "(did you mean Gateway_Autosave_Interval?)"));
  EXPECT_EQ(run_tool(copy, {"explain", "Zzzzzzzzzzzzzzzzz"}).err,
            "kvrn-prefs: no preference is named Zzzzzzzzzzzzzzzzz\n");

  const ToolResult text = run_tool(copy, {"explain", "Drafting_Text_Height"});
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_TRUE(contains(text.out, "\n  Height of capital letters of new notes and dimensions."))
      << text.out;
  EXPECT_TRUE(contains(text.out, "  defined in " + copy.path("base/kvrn/kv_drafting.dpx") +
                                     "\n  default changed in " +
                                     copy.path("base/kvrn/kv_extras.dpx") + "\n"))
      << text.out;
  EXPECT_TRUE(contains(text.out, "  constraint range [>=0.5 <=50.0]\n")) << text.out;
  EXPECT_FALSE(contains(text.out, "restarts")) << text.out;
  EXPECT_TRUE(contains(run_tool(copy, {"explain", "Gateway_Display_Texture_Cache_Size"}).out,
                       "\n  a change applies after the host restarts\n"));

  const JsonValue explained =
      json_of(run_tool(copy, {"explain", "Drafting_Text_Height", "--json"}));
  EXPECT_EQ(explained["files"].size(), 2u);
  EXPECT_EQ(explained["files"][1]["role"].text, "default changed");
  ASSERT_EQ(explained["levels"].size(), 4u);
  EXPECT_EQ(std::stod(explained["levels"][0]["value"].text), 2.5);
  EXPECT_EQ(explained["levels"][2]["entry"].text, "false");
  EXPECT_TRUE(explained["levels"][2]["value"].is_null());
  EXPECT_EQ(explained["levels"][3]["modified"].text, "2026-11-30T09:19:00Z");
  EXPECT_EQ(explained["source"].text, "3");
  EXPECT_EQ(std::stod(explained["queries_answer"].text), 5.0);

  const JsonValue carried =
      json_of(run_tool(copy, {"explain", "Drafting_Standard_Default", "--json"}));
  EXPECT_EQ(carried["levels"][3]["carried"].text, "true");
  EXPECT_EQ(carried["levels"][1]["locked_here"].text, "true");
  EXPECT_EQ(carried["levels"][1]["comment"].text,
            "Company drafting standard for every drawing released to customers.");
  EXPECT_EQ(carried["locked_at"].text, "1");
  EXPECT_EQ(run_tool(copy, {"explain"}).status, 2);
}

TEST(ReadingCommands, NamesOver256BytesAreNotComparedAndAreShownCut) {
  ExampleCopy copy;
  const std::string long_name = "Gateway_Autosave_Interval" + std::string(300, 'x');
  write_file(copy.path("base/kvrn/kv_piping.dpx"),
             "<PrefDefinitions><Application name=\"Piping\" csh=\"kv_piping_app\"><Category "
             "name=\"C\"><Tab name=\"T\"><Pref name=\"" +
                 long_name +
                 "\" type=\"int\" value=\"1\" title=\"Long\"/></Tab></Category></Application>"
                 "</PrefDefinitions>");
  // The long name holds the word typed, yet is not offered.
  EXPECT_EQ(run_tool(copy, {"explain", "Gateway_Autosave_Intervalx"}).err,
            "kvrn-prefs: no preference is named Gateway_Autosave_Intervalx (did you mean "
            "Gateway_Autosave_Interval?)\n");
  EXPECT_EQ(run_tool(copy, {"explain", long_name + "y"}).err,
            "kvrn-prefs: no preference is named " + long_name.substr(0, 200) + "...\n");
}
