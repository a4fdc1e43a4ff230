// Reading the definition files at start-up: the tree of groups, preferences with every
// attribute and constraint, what is skipped or logged, the extras file, and files that stop the
// start.
#include "installation.h"

#include <cstdlib>

namespace {

const char* const GATEWAY = R"(
<Application name="Gateway" csh="gw">
  <Category name="General">
    <Tab name="Display">
      <Pref name="Count" type="int" value="12" title="Count" unit="mm" ver="3.1" scope="Part">
        <Data type="range">
          <LowerBound value="0" include="1" name="none"/>
          <UpperBound value="50" include="1"/>
          <UpperBound value="100"/>
        </Data>
        <Description>
           Number of <b>things</b> shown.
        </Description>
      </Pref>
      <Group name="Look">
        <Pref name="Scale" type="real" value="2.5" title="Scale" scope="Session"/>
        <Pref name="Shown" type="logical" value="TRUE" title="Shown" scope="part" unit="" ver=""/>
      </Group>
      <Pref name="Mode" type="string" value="fast" title="Mode">
        <OptionMenu/>
        <Data type="enum">
          <EnumElem name="Fast" value="fast" bitmap="fast.png"/>
          <EnumElem name="Slow" value="slow"/>
        </Data>
      </Pref>
      <Pref name="Paths" type="string_list" value='"a b"\"c"' title="Paths"/>
    </Tab>
  </Category>
</Application>
<Application name="Colours">
  <Pref name="Pen" type="int" value="5"><Color/></Pref>
  <Pref name="PenToggle" type="int" value="5"><ColorToggle/></Pref>
  <Pref name="PenOption" type="int" value="5"><ColorOption/></Pref>
  <Pref name="PenData" type="int" value="5">
    <Color/><Data type="enum"><EnumElem name="Red" value="1"/></Data>
  </Pref>
  <Pref name="PenKept" type="int" value="5">
    <Data type="color"><EnumElem name="Ink" value="300" bitmap="ink.png"/></Data><Color/>
  </Pref>
  <Pref name="Cleared" type="int" value="5">
    <Data type="range"><LowerBound value="1"/></Data><Data type="weird"/>
  </Pref>
  <Pref name="Outside" type="int" value="500">
    <Data type="range"><UpperBound value="100" include="1"/></Data>
  </Pref>
</Application>
<Application name="Odd">
  <Pref name="Capital" type="Int" value="1"/>
  <Pref name="Untyped" value="1"/>
  <Pref name="NoValue" type="int" title="No value"/>
  <Pref name="NoText" type="string"/>
  <Pref name="Dup" type="int" value="1"/>
  <Pref name="Dup" type="real" value="2"/>
</Application>
<PrefValue name="Count" value="99"/>
<Other><Application name="Hidden"/></Other>
)";

std::string data_class(const char* name) {
  const VERU_data* data = pref(name)->ask_data();
  return data ? OM_ask_class_name(data->class_id()) : "(none)";
}

}  // namespace

TEST(DefinitionLoading, BuildsTheTreeAndEveryPreference) {
  Installation installation;
  installation.define("kv_gateway.dpx", definitions(GATEWAY));
  const int before = CLOCK_gmt();
  LogCapture log;
  installation.start();
  const int after = CLOCK_gmt();

  VERU_group* tree_root = VERU__ask_module_root()->ask_tree_root();
  ASSERT_EQ(tree_root->ask_n_objects(), 3);
  VERU_group* gateway = child(tree_root, 0);
  EXPECT_EQ(text_of(gateway->ask_name()), "Gateway");
  EXPECT_STREQ(gateway->ask_csh_text(), "gw");
  EXPECT_EQ(gateway->ask_parent(), nullptr);
  EXPECT_EQ(VERU_lookup_application_by_csh_tag(tree_root, "gw"), gateway);
  EXPECT_EQ(VERU_lookup_application_by_csh_tag(tree_root, "GW"), nullptr);
  VERU_group* general = child(gateway, 0);
  EXPECT_TRUE(general->ask_has_tabs());
  EXPECT_EQ(general->ask_parent(), gateway);
  VERU_group* display = child(general, 0);
  VERU_group* look = child(display, 0);
  EXPECT_TRUE(look->ask_is_group());
  EXPECT_EQ(look->ask_parent(), display);
  EXPECT_EQ(text_of(child(tree_root, 1)->ask_name()), "Colours");
  EXPECT_EQ(VERU_lookup_pref("Hidden"), nullptr);

  VERU_pref* count = pref("Count");
  EXPECT_EQ(count->ask_parent(), display);
  EXPECT_EQ(text_of(count->ask_title()), "Count");
  EXPECT_EQ(text_of(count->ask_unit()), "mm");
  EXPECT_STREQ(count->ask_ver(), "3.1");
  EXPECT_EQ(count->ask_scope(), 1);
  EXPECT_EQ(text_of(count->ask_desc()), "Number of things shown.");
  // The default is recorded at level 0, dated now, apart from the loaded value; a PrefValue
  // outside the extras file changes nothing.
  EXPECT_EQ(value_at(count, 0), "12");
  EXPECT_EQ(VERU_ask_int("Count"), 12);
  EXPECT_NE(count->ask_value(0), count->loaded_value());
  EXPECT_GE(count->ask_modification_date(0), before);
  EXPECT_LE(count->ask_modification_date(0), after);
  // The later of two upper bounds replaces the earlier one.
  auto* range = static_cast<VERU_data_range*>(count->ask_data());
  EXPECT_TRUE(range->ask_lower()->ask_inclusive());
  EXPECT_EQ(text_of(range->ask_lower()->ask_name()), "none");
  EXPECT_EQ(taken(range->ask_upper()->ask_value()->print()), "100");
  EXPECT_FALSE(range->ask_upper()->ask_inclusive());

  VERU_pref* scale = pref("Scale");
  EXPECT_DOUBLE_EQ(VERU_ask_real("Scale"), 2.5);
  EXPECT_EQ(scale->ask_scope(), 2);
  TEXT_s* full_title = scale->ask_full_title();
  EXPECT_EQ(text_of(full_title), "Look - Scale");
  TEXT_free(full_title);
  VERU_pref* shown = pref("Shown");
  EXPECT_TRUE(VERU_ask_logical("Shown"));
  EXPECT_EQ(shown->ask_scope(), 0);
  EXPECT_EQ(shown->ask_unit(), nullptr);
  EXPECT_EQ(shown->ask_ver(), nullptr);

  EXPECT_EQ(data_class("Mode"), "VERU_data_enum");
  auto* modes = static_cast<VERU_data_enum*>(pref("Mode")->ask_data());
  ASSERT_EQ(modes->ask_n_elems(), 2);
  EXPECT_EQ(text_of(modes->ask_nth_elem(0)->ask_name()), "Fast");
  EXPECT_STREQ(modes->ask_nth_elem(0)->ask_bitmap(), "fast.png");
  EXPECT_EQ(taken(modes->ask_nth_elem(1)->ask_value()->print()), "slow");
  EXPECT_EQ(taken(VERU_ask_string("Paths")), "a b c");

  // Colour widgets and the order of Data elements.
  EXPECT_EQ(data_class("Pen"), "VERU_data_color");
  EXPECT_EQ(static_cast<VERU_data_enum*>(pref("Pen")->ask_data())->ask_n_elems(), 0);
  EXPECT_EQ(data_class("PenToggle"), "(none)");
  EXPECT_EQ(data_class("PenOption"), "(none)");
  EXPECT_EQ(data_class("PenData"), "VERU_data_enum");
  EXPECT_EQ(data_class("PenKept"), "VERU_data_color");
  auto* kept = static_cast<VERU_data_enum*>(pref("PenKept")->ask_data());
  ASSERT_EQ(kept->ask_n_elems(), 1);
  EXPECT_EQ(kept->ask_nth_elem(0)->ask_bitmap(), nullptr);
  EXPECT_EQ(data_class("Cleared"), "(none)");
  // Defaults are not checked against their constraint.
  EXPECT_EQ(VERU_ask_int("Outside"), 500);

  // Types are matched exactly; a missing value reads as an empty text.
  EXPECT_TRUE(log.contains("VERU: unknown preference type for Capital\n"));
  EXPECT_TRUE(log.contains("VERU: unknown preference type for Untyped\n"));
  EXPECT_FALSE(VERU_is_known_default("Capital"));
  EXPECT_FALSE(VERU_is_known_default("Untyped"));
  EXPECT_EQ(VERU_ask_int("NoValue"), 0);
  EXPECT_EQ(taken(VERU_ask_string("NoText")), "");
  EXPECT_TRUE(log.contains("VERU: duplicate preference Dup\n"));
  EXPECT_NE(VERU_lookup_pref("Dup"), nullptr);
}

TEST(DefinitionLoading, TheExtrasFileAddsCategoriesAndOverridesDefaults) {
  Installation installation;
  installation.define("kv_gateway.dpx", definitions(GATEWAY));
  installation.define("kv_extras.dpx", definitions(R"(
<Application csh="gw" name="Ignored">
  <Category name="Extra"><Tab name="More"><Pref name="Added" type="int" value="7"/></Tab></Category>
  <Category name="General"><Pref name="AlsoAdded" type="int" value="8"/></Category>
  <Pref name="NotRead" type="int" value="1"/>
</Application>
<PrefValue name="Count" value="42" locked="yes" ver="9.9" modified="2021-06-01T12:00:00Z">
  <UserComment>site note</UserComment><Description> New text </Description>
</PrefValue>
<PrefValue name="Shown" value="yes" ver="1.0"><Description>never</Description></PrefValue>
<PrefValue name="Mode" value="medium"/>
<PrefValue name="Unknown" value="1"/>
)"));
  LogCapture log;
  installation.start();

  VERU_group* gateway = child(VERU__ask_module_root()->ask_tree_root(), 0);
  ASSERT_EQ(gateway->ask_n_objects(), 3);
  VERU_group* extra = child(gateway, 1);
  EXPECT_EQ(text_of(extra->ask_name()), "Extra");
  EXPECT_TRUE(extra->ask_has_tabs());
  EXPECT_EQ(extra->ask_parent(), gateway);
  // A category of an existing name is a new category, not an addition to the old one.
  EXPECT_EQ(text_of(child(gateway, 2)->ask_name()), "General");
  EXPECT_EQ(child(gateway, 0)->ask_n_objects(), 1);
  EXPECT_EQ(text_of(pref("Added")->ask_application_name()), "Gateway");
  EXPECT_EQ(pref("AlsoAdded")->ask_parent(), child(gateway, 2));
  EXPECT_FALSE(VERU_is_known_default("NotRead"));

  VERU_pref* count = pref("Count");
  EXPECT_EQ(value_at(count, 0), "42");
  EXPECT_EQ(VERU_ask_int("Count"), 42);
  EXPECT_STREQ(count->ask_ver(), "9.9");
  EXPECT_EQ(text_of(count->ask_desc()), "New text");
  EXPECT_TRUE(count->ask_recorded_value(0)->ask_locked());
  EXPECT_EQ(text_of(count->ask_comment(0)), "site note");
  EXPECT_EQ(count->ask_modification_date(0), 1622548800);

  EXPECT_TRUE(log.contains("\tDefault Shown value is not valid. Value ignored\n"));
  EXPECT_TRUE(VERU_ask_logical("Shown"));
  EXPECT_EQ(pref("Shown")->ask_ver(), nullptr);
  EXPECT_EQ(pref("Shown")->ask_desc(), nullptr);
  EXPECT_TRUE(log.contains("\tDefault Mode value is not valid. Value ignored\n"));
  EXPECT_EQ(taken(VERU_ask_string("Mode")), "fast");
  EXPECT_EQ(log.text().find("Unknown"), std::string::npos);
}

TEST(DefinitionLoading, AnyFileInAKvExtrasFolderIsReadAsExtras) {
  Installation installation;
  installation.define("kv_gateway.dpx", definitions(GATEWAY));
  installation.use_environment();
  installation.write("site_kv_extras/kv_modeling.dpx",
                     definitions("<PrefValue name=\"Count\" value=\"77\"/>\n"
                                 "<Application csh=\"gw\"><Category name=\"FromModeling\"/>"
                                 "</Application>\n"));
  setenv("KVRN_VERU_XML_DEF_DIR", installation.path("site_kv_extras").c_str(), 1);
  VERU_init_module();
  EXPECT_EQ(VERU_ask_int("Count"), 77);
  VERU_group* gateway = child(VERU__ask_module_root()->ask_tree_root(), 0);
  EXPECT_EQ(text_of(child(gateway, 1)->ask_name()), "FromModeling");
}

TEST(DefinitionLoading, AnUnknownApplicationInTheExtrasFileStopsTheStart) {
  Installation installation;
  installation.define("kv_gateway.dpx", definitions(GATEWAY));
  installation.define(
      "kv_extras.dpx",
      definitions("<Application csh=\"nope\"><Category name=\"X\"/></Application>"));
  installation.use_environment();
  std::string what;
  EXPECT_EQ(raised_code([] { VERU_init_module(); }, &what), VERU_ERROR_DEFINITION_FILE_LOAD);
  EXPECT_EQ(what, "Unable to process kv_extras.dpx file");
}

// A definition file that the parser refuses stops the start with the parser's message logged;
// what was read before stays.
struct BadFile {
  const char* name;
  const char* content;
};

void PrintTo(const BadFile& file, std::ostream* out) {
  *out << file.name;
}

class UnreadableDefinitionFile : public testing::TestWithParam<BadFile> {};

TEST_P(UnreadableDefinitionFile, StopsTheStart) {
  Installation installation;
  installation.define("kv_gateway.dpx", definitions(GATEWAY));
  installation.define("kv_modeling.dpx", GetParam().content);
  installation.use_environment();
  const std::string path = installation.kvrn_dir() + "/kv_modeling.dpx";
  LogCapture log;
  std::string what;
  EXPECT_EQ(raised_code([] { VERU_init_module(); }, &what), VERU_ERROR_DEFINITION_FILE_LOAD);
  EXPECT_EQ(what, "Unable to parse XML def file " + path);
  EXPECT_TRUE(log.contains("\n" + path)) << log.text();
  EXPECT_EQ(log.text().back(), '\n');
  EXPECT_TRUE(VERU_is_known_default("Count"));
  EXPECT_FALSE(VERU__is_level_defined(1));
}

INSTANTIATE_TEST_SUITE_P(
    DefinitionLoading, UnreadableDefinitionFile,
    testing::Values(BadFile{"NotWellFormed",
                            "<Preferences><Application name=\"A\"></Preferences>\n"},
                    BadFile{"Truncated", "<Preferences><Application name=\"Trunc"},
                    BadFile{"Empty", ""}, BadFile{"NotXml", "just some words\n"},
                    BadFile{"TwoDocumentElements", "<Preferences></Preferences><Preferences/>\n"}),
    [](const testing::TestParamInfo<BadFile>& param_info) {
      return std::string(param_info.param.name);
    });

TEST(DefinitionLoading, DeepNestingIsRefusedWithoutExhaustingTheStack) {
  Installation installation;
  std::string fair = "<Application name=\"Fair\">";
  for (int i = 0; i < 30; ++i) fair += "<Group name=\"g" + std::to_string(i) + "\">";
  fair += "<Pref name=\"Deep\" type=\"int\" value=\"3\"><Description>";
  for (int i = 0; i < 5000; ++i) fair += "<b>";
  fair += "deep words";
  for (int i = 0; i < 5000; ++i) fair += "</b>";
  fair += "</Description></Pref>";
  for (int i = 0; i < 30; ++i) fair += "</Group>";
  installation.define("kv_gateway.dpx", definitions(fair + "</Application>"));
  std::string deep = "<Application name=\"Deep\">";
  for (int i = 0; i < 5000; ++i) deep += "<Group name=\"g\">";
  for (int i = 0; i < 5000; ++i) deep += "</Group>";
  installation.define("kv_modeling.dpx", definitions(deep + "</Application>"));
  installation.use_environment();

  std::string what;
  EXPECT_EQ(raised_code([] { VERU_init_module(); }, &what), VERU_ERROR_DEFINITION_FILE_LOAD);
  EXPECT_NE(what.find(installation.kvrn_dir() + "/kv_modeling.dpx"), std::string::npos) << what;
  EXPECT_EQ(VERU_ask_int("Deep"), 3);
  EXPECT_EQ(text_of(pref("Deep")->ask_desc()), "deep words");
}

TEST(DefinitionLoading, DuplicateNameLinesAreBoundedLikeIgnoredEntries) {
  Installation installation;
  std::string prefs;
  for (int i = 0; i < 1200; ++i) prefs += "<Pref name=\"Twice\" type=\"int\" value=\"1\"/>";
  // kv_tooling.dpx is read before kv_piping.dpx.
  installation.define("kv_tooling.dpx",
                      definitions("<Application name=\"T\">" + prefs + "</Application>"));
  installation.define("kv_piping.dpx", definitions("<Application name=\"P\"><Pref name=\"Twice\" "
                                                   "type=\"int\" value=\"2\"/></Application>"));
  LogCapture log;
  installation.start();
  const std::string line = "VERU: duplicate preference Twice\n";
  int lines = 0;
  for (std::size_t at = log.text().find(line); at != std::string::npos;
       at = log.text().find(line, at + 1)) {
    ++lines;
  }
  // Each file counts its own: the next one logs its duplicate again.
  EXPECT_EQ(lines, 1001);
  EXPECT_TRUE(log.contains("VERU: 199 more duplicate preferences in " +
                           installation.path("base/kvrn/kv_tooling.dpx") + "\n"));
}
