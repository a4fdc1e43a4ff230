// Validation of definition files: the "VERU_VALIDATE" schema, the root's walk and its names
// across files, the results, the repeated-name and title rules of applications, categories and
// tabs, and the widget rules of preferences.
#include "veru_pref_test_helpers.h"

#include <ostream>
#include <set>
#include <vector>

namespace {

class VeruValidateResult : public HostDefaults {};
class VeruValidatePref : public HostDefaults {};

struct Finding {
  std::string file;
  int code;
  std::string text;
  bool operator==(const Finding& other) const {
    return file == other.file && code == other.code && text == other.text;
  }
};

void PrintTo(const Finding& finding, std::ostream* out) {
  *out << "{" << finding.file << ", " << finding.code << ", \"" << finding.text << "\"}";
}

using Findings = std::vector<Finding>;

// A parsed definition file; its nodes live as long as it does.
class Document {
 public:
  explicit Document(const std::string& xml) {
    write_file(dir_ / "file.dpx", xml);
    KVXML_init();
    int error = 0;
    context_ = pvtbl_kvxml->XERCES_DOM_create(&error, "UTF-8", 0);
    EXPECT_EQ(pvtbl_kvxml->XERCES_DOM_parseFile(context_, (dir_ / "file.dpx").c_str(), "utf-8", 2),
              0)
        << pvtbl_kvxml->XERCES_DOM_getErrorText(context_);
  }
  ~Document() { pvtbl_kvxml->XERCES_DOM_release(context_); }
  XERCES_DOM_node* root() const {
    return pvtbl_kvxml->XERCES_DOM_getDocumentElement(
        pvtbl_kvxml->XERCES_DOM_getDocument(context_));
  }
  // The first element named name, depth first.
  XERCES_DOM_node* find(const char* name) const {
    std::vector<XERCES_DOM_node*> pending{root()};
    while (!pending.empty()) {
      XERCES_DOM_node* node = pending.back();
      pending.pop_back();
      if (!node) continue;
      if (or_null(pvtbl_kvxml->XERCES_DOM_getNodeName(node)) == name) return node;
      pending.push_back(pvtbl_kvxml->XERCES_DOM_getNextSibling(node));
      pending.push_back(pvtbl_kvxml->XERCES_DOM_getFirstChild(node));
    }
    return nullptr;
  }

 private:
  TempDir dir_;
  XERCES_DOM_ctx* context_ = nullptr;
};

// One validation run as a host tool makes it: one root and one result for all files.
class ValidationRun {
 public:
  ValidationRun() {
    VERU_VALIDATE_init_schema();
    root_ = static_cast<VERU_validate_root*>(OM_create_object(VERU_validate_root_c));
    result_ = static_cast<VERU_validate_result*>(OM_create_object(VERU_validate_result_c));
  }
  ~ValidationRun() {
    OM_delete_object(root_);
    OM_delete_object(result_);
  }
  ValidationRun& file(const std::string& name, const std::string& xml) {
    Document document(xml);
    root_->set_dom_node_and_filename(document.root(), name.c_str());
    root_->do_validate_dom_node(result_);
    return *this;
  }
  Findings finish() {
    root_->report_duplicate_names(result_);
    return findings();
  }
  Findings findings() const {
    Findings all;
    for (int i = 0; i < result_->ask_n_results(); ++i) {
      const char* file = nullptr;
      const char* text = nullptr;
      const int code = result_->ask_result(i, &file, &text);
      all.push_back({file, code, text});
    }
    return all;
  }
  VERU_validate_root* root() const { return root_; }
  VERU_validate_result* result() const { return result_; }

 private:
  VERU_validate_root* root_;
  VERU_validate_result* result_;
};

std::string application(const std::string& name, const std::string& inside) {
  return "<Application name=\"" + name + "\">" + inside + "</Application>";
}

std::string file_of(const std::string& applications) {
  return "<PrefDefinitions>" + applications + "</PrefDefinitions>";
}

// A file whose one tab holds prefs.
std::string tab_file(const std::string& prefs, const std::string& app = "App") {
  return file_of(
      application(app, "<Category name=\"Cat\"><Tab name=\"Tab\">" + prefs + "</Tab></Category>"));
}

std::string pref(const std::string& name, const std::string& title, const std::string& inside = "",
                 const std::string& type = "int") {
  return "<Pref name=\"" + name + "\" type=\"" + type + "\" title=\"" + title + "\">" + inside +
         "</Pref>";
}

}  // namespace

// Run on its own (as ctest runs it), this test also shows that validation needs no started
// module. Each class and attribute has the fixed object id 0x80000000 plus its number: the nine
// classes 0 to 8, the attributes 9 on.
TEST(VeruValidateSchema, ClassesAndAttributesHaveTheirFixedIds) {
  OM_schema_s* schema = VERU_VALIDATE_init_schema();
  ASSERT_NE(schema, nullptr);
  EXPECT_STREQ(OM_ask_schema_name(schema), "VERU_VALIDATE");
  const std::pair<const char*, const int*> classes[] = {
      {"VERU_validate_result", &VERU_validate_result_c},
      {"VERU_validate_object", &VERU_validate_object_c},
      {"VERU_validate_root", &VERU_validate_root_c},
      {"VERU_validate_application", &VERU_validate_application_c},
      {"VERU_validate_category", &VERU_validate_category_c},
      {"VERU_validate_tab", &VERU_validate_tab_c},
      {"VERU_validate_pref", &VERU_validate_pref_c},
      {"VERU_validate_name_set", &VERU_validate_name_set_c},
      {"VERU_validate_name_file_map", &VERU_validate_name_file_map_c},
  };
  std::vector<unsigned> class_ids;
  for (const auto& [name, id] : classes) {
    SCOPED_TRACE(name);
    ASSERT_EQ(OM_lookup_class(name), *id);
    EXPECT_EQ(OM_ask_class_schema(*id), schema);
    EXPECT_EQ(OM_ask_class_property(*id, OM_CLASS_PROPERTY_ABSTRACT),
              *id == VERU_validate_object_c);
    EXPECT_TRUE(OM_ask_class_property(*id, OM_CLASS_PROPERTY_APPLICATION));
    class_ids.push_back(OM_ask_object_id(OM_ask_class_of_class_id(*id)));
  }
  EXPECT_EQ(sorted(class_ids), fixed_id_block(0, std::size(classes)));
  EXPECT_EQ(OM_ask_object_id(OM_ask_class_of_class_id(VERU_validate_result_c)), 0x80000000u);
  EXPECT_EQ(raised_code([] { OM_create_object(VERU_validate_object_c); }), ERROR_INTERNAL_CODE);
  for (int validator : {VERU_validate_root_c, VERU_validate_application_c, VERU_validate_category_c,
                        VERU_validate_tab_c, VERU_validate_pref_c}) {
    EXPECT_EQ(OM_ask_superclass(validator), VERU_validate_object_c);
  }
  EXPECT_EQ(OM_ask_superclass(VERU_validate_name_set_c), OM_lookup_class("OM_hash_set"));

  const std::pair<const char*, const int*> attributes[] = {
      {"error_code", &ATT_error_co__VERU_VALIDATE3900},
      {"filename", &ATT_filename__VERU_VALIDATE2067},
      {"error_text", &ATT_error_te__VERU_VALIDATE1776},
      {"dom_node", &ATT_dom_node__VERU_VALIDATE5299},
      {"veru_root", &ATT_veru_roo__VERU_VALIDATE2847},
      {"current_filename", &ATT_current___VERU_VALIDATE4665},
      {"pref_name_set", &ATT_pref_nam__VERU_VALIDATE7310},
      {"dup_pref_name_set", &ATT_dup_pref___VERU_VALIDATE262},
      {"app_name_set", &ATT_app_name__VERU_VALIDATE9436},
      {"dup_app_name_set", &ATT_dup_app___VERU_VALIDATE2548},
      {"node_name", &ATT_node_nam__VERU_VALIDATE7884},
      {"filenames", &ATT_filename__VERU_VALIDATE4852},
  };
  // Each attribute is declared by one class of the schema, with flags 1.
  std::vector<unsigned> attribute_ids;
  for (const auto& [name, id] : attributes) {
    SCOPED_TRACE(name);
    ASSERT_EQ(OM_lookup_attribute(name), *id);
    std::set<const OM_attribute_s*> declarations;
    for (const auto& row : classes) {
      if (const OM_attribute_s* declaration = OM_ask_attribute_p_ne(*row.second, *id)) {
        declarations.insert(declaration);
      }
    }
    ASSERT_EQ(declarations.size(), 1u);
    EXPECT_EQ(OM_ask_attribute_flags(*declarations.begin()), 1u);
    attribute_ids.push_back(OM_ask_object_id(*declarations.begin()));
  }
  EXPECT_EQ(sorted(attribute_ids), fixed_id_block(std::size(classes), std::size(attributes)));
  EXPECT_EQ(OM_ask_attribute_type(
                OM_ask_attribute_p(VERU_validate_result_c, ATT_error_co__VERU_VALIDATE3900)),
            OM_TYPE_INT);
  EXPECT_EQ(OM_ask_attribute_type(
                OM_ask_attribute_p(VERU_validate_object_c, ATT_dom_node__VERU_VALIDATE5299)),
            OM_TYPE_POINTER);
  // The element validators inherit the element and the root.
  EXPECT_NE(OM_ask_attribute_p_ne(VERU_validate_pref_c, ATT_veru_roo__VERU_VALIDATE2847), nullptr);
  const std::pair<const int*, const char*> host[] = {
      {&ATT_isa__VERU_VALIDATE9747, "isa"},
      {&ATT_om_flags__VERU_VALIDATE8474, "om_flags"},
      {&ATT_om_metho__VERU_VALIDATE6512, "om_method_descriptor"},
      {&ATT_root_obj__VERU_VALIDATE9040, "root_object"},
      {&ATT_save_lab__VERU_VALIDATE4042, "save_label"},
      {&ATT_tag__VERU_VALIDATE7286, "tag"},
      {&ATT_size__VERU_VALIDATE3485, "size"},
      {&ATT_table_ob__VERU_VALIDATE9044, "table_object"},
      {&ATT_count__VERU_VALIDATE5851, "count"},
      {&ATT_space__VERU_VALIDATE3698, "space"},
  };
  for (const auto& row : host) EXPECT_EQ(*row.first, OM_lookup_attribute(row.second)) << row.second;

  // Repeated starts keep everything; the ids can be found again by name.
  const int root_class = VERU_validate_root_c;
  const int error_code = ATT_error_co__VERU_VALIDATE3900;
  EXPECT_EQ(VERU_VALIDATE_init_schema(), schema);
  EXPECT_EQ(VERU_VALIDATE_boot_schema(), schema);
  VERU_validate_root_c = 0;
  ATT_error_co__VERU_VALIDATE3900 = 0;
  VERU_VALIDATE_init_ids();
  EXPECT_EQ(VERU_validate_root_c, root_class);
  EXPECT_EQ(ATT_error_co__VERU_VALIDATE3900, error_code);
  VERU_VALIDATE_init_methods(false);
  ValidationRun run;
  run.file("a.dpx", tab_file(pref("P", "P")));
  EXPECT_EQ(run.findings(), (Findings{{"a.dpx", VERU_ERROR_TITLE_IS_NAME, "P"}}));
}

TEST(VeruValidateSchema, WorksBesideAStartedModuleAndReportsAbstractCalls) {
  start_module();
  ValidationRun run;
  run.file("a.dpx", tab_file(pref("P", "")));
  EXPECT_EQ(run.findings(), (Findings{{"a.dpx", VERU_ERROR_MISSING_TITLE, "P"}}));
  std::string what;
  EXPECT_EQ(
      raised_code([&] { run.root()->VERU_validate_object::do_validate_dom_node(run.result()); },
                  &what),
      ERROR_INTERNAL_CODE);
  EXPECT_NE(what.find("Attempt to invoke abstract method do_validate_dom_node on "
                      "VERU_validate_root &"),
            std::string::npos)
      << what;
}

TEST_F(VeruValidateResult, KeepsCopiesInOrderAndChecksCodesWhileChecking) {
  VERU_VALIDATE_init_schema();
  OmPtr<VERU_validate_result> result(
      static_cast<VERU_validate_result*>(OM_create_object(VERU_validate_result_c)));
  EXPECT_EQ(result->ask_n_results(), 0);
  std::string file = "a.dpx";
  result->add_result(file.c_str(), VERU_ERROR_DUPLICATE_PREF_NAME, "first");
  file = "b.dpx";
  result->add_result(file.c_str(), VERU_ERROR_MISSING_TITLE, "second");
  const char* filename = nullptr;
  const char* text = nullptr;
  EXPECT_EQ(result->ask_result(0, &filename, &text), VERU_ERROR_DUPLICATE_PREF_NAME);
  EXPECT_STREQ(filename, "a.dpx");
  EXPECT_STREQ(text, "first");
  EXPECT_EQ(result->ask_result(1, &filename, &text), VERU_ERROR_MISSING_TITLE);
  EXPECT_STREQ(filename, "b.dpx");
  EXPECT_EQ(raised_code([&] { result->ask_result(2, &filename, &text); }), ERROR_INTERNAL_CODE);

  MACH__checking_level = 1;
  std::string what;
  EXPECT_EQ(raised_code([&] { result->add_result("c.dpx", 42, "not ours"); }, &what),
            ERROR_ASSERTION_CODE);
  EXPECT_EQ(what, "VERU_is_veru_error(error_code)");
  EXPECT_EQ(result->ask_n_results(), 2);
  MACH__checking_level = 0;
  result->add_result("c.dpx", 42, "accepted without checking");
  EXPECT_EQ(result->ask_n_results(), 3);
}

TEST(VeruValidateNames, MapsListEachFileOnceAndSetsFindThemByExactName) {
  VERU_VALIDATE_init_schema();
  OmPtr<VERU_validate_name_file_map> map(VERU_validate_name_file_map::create("Name", "b.dpx"));
  map->add_filename("a.dpx");
  map->add_filename("b.dpx");
  map->add_filename("A.dpx");
  EXPECT_STREQ(map->ask_node_name(), "Name");
  const char** files = nullptr;
  ASSERT_EQ(map->ask_filenames(&files), 3);
  EXPECT_EQ((std::vector<std::string>{files[0], files[1], files[2]}),
            (std::vector<std::string>{"b.dpx", "a.dpx", "A.dpx"}));
  SM_free(files);

  OmPtr<VERU_validate_name_set> set(VERU_validate_name_set::create(nullptr, 16));
  EXPECT_EQ(set->insert(map.get()), nullptr);
  EXPECT_EQ(set->lookup("Name"), map.get());
  EXPECT_EQ(set->lookup("name"), nullptr);
  OmPtr<VERU_validate_name_file_map> same(VERU_validate_name_file_map::create("Name", "c.dpx"));
  EXPECT_EQ(set->insert(same.get()), map.get());
}

TEST(VeruValidateRoot, DuplicateNamesAcrossAndWithinFiles) {
  ValidationRun run;
  run.file("a.dpx", tab_file(pref("Twice", "t1") + pref("Thrice", "t2") + pref("Inside", "t3") +
                             pref("Inside", "t4")));
  run.file("b.dpx", tab_file(pref("Twice", "t1") + pref("Thrice", "t2") + pref("Solo", "Solo")));
  run.file("c.dpx", tab_file(pref("Thrice", "t2")));
  const Findings findings = run.finish();
  // The walk's findings come first, then the applications, then the preferences.
  ASSERT_EQ(findings.size(), 5u);
  EXPECT_EQ(findings[0], (Finding{"b.dpx", VERU_ERROR_TITLE_IS_NAME, "Solo"}));
  EXPECT_EQ(findings[1], (Finding{"a.dpx", VERU_ERROR_DUPLICATE_APPLICATION_NAME,
                                  "App appears in a.dpx b.dpx c.dpx"}));
  EXPECT_EQ(
      (std::set<std::string>{findings[2].text, findings[3].text, findings[4].text}),
      (std::set<std::string>{"Twice appears in a.dpx b.dpx", "Thrice appears in a.dpx b.dpx c.dpx",
                             "Inside appears in a.dpx"}));
  for (int i = 2; i <= 4; ++i) {
    EXPECT_EQ(findings[i].code, VERU_ERROR_DUPLICATE_PREF_NAME);
    EXPECT_EQ(findings[i].file, "a.dpx");
  }
  // Reporting does not empty the sets.
  run.root()->report_duplicate_names(run.result());
  EXPECT_EQ(run.result()->ask_n_results(), 9);
}

TEST(VeruValidateRoot, ExtrasFileAddsToApplicationsDeclaredBefore) {
  const std::string ordinary = tab_file(pref("P1", "t"), "Gateway");
  const std::string extras = tab_file(pref("P2", "t"), "Gateway");
  // A language variant of the extras file is the extras file, as start-up reads it.
  for (const char* extras_file : {"kvrn/kv_extras.dpx", "localization/kv_extras_german.dpx"}) {
    ValidationRun in_order;
    in_order.file("kvrn/kv_gateway.dpx", ordinary).file(extras_file, extras);
    EXPECT_EQ(in_order.finish(), Findings{}) << extras_file;
  }

  ValidationRun extras_first;
  extras_first.file("kvrn/kv_extras.dpx", extras).file("kvrn/kv_gateway.dpx", ordinary);
  EXPECT_EQ(extras_first.finish(),
            (Findings{{"kvrn/kv_extras.dpx", VERU_ERROR_DUPLICATE_APPLICATION_NAME,
                       "Gateway appears in kvrn/kv_extras.dpx kvrn/kv_gateway.dpx"}}));

  // The rule is for applications: a preference of the extras file must still be new.
  ValidationRun pref_again;
  pref_again.file("kv_a.dpx", ordinary).file("kv_extras.dpx", tab_file(pref("P1", "t"), "X"));
  EXPECT_EQ(pref_again.finish(), (Findings{{"kv_a.dpx", VERU_ERROR_DUPLICATE_PREF_NAME,
                                            "P1 appears in kv_a.dpx kv_extras.dpx"}}));
}

TEST(VeruValidateRoot, FilesWithoutApplicationsAndElementsWithoutAttributes) {
  ValidationRun run;
  // Only Application children of the root element are walked.
  run.file("none.dpx", "<PrefDefinitions><PrefValue name=\"P\" value=\"1\"/>" + pref("Top", "Top") +
                           "<Category name=\"C\"><Tab name=\"T\">" + pref("Deep", "Deep") +
                           "</Tab></Category></PrefDefinitions>");
  EXPECT_EQ(run.finish(), Findings{});

  // Elements without a name, a type or an "off" attribute are checked as far as they can be;
  // an absent name matches no other.
  run.file("bare.dpx",
           file_of("<Application><Application/><Category><Tab/></Category><Category>"
                   "<Tab><Pref title=\"Same\"><Integer/></Pref><Pref title=\"Same\"/><Pref/>"
                   "<Pref name=\"T\" type=\"int\" title=\"t\"><Toggle/><Data>"
                   "<EnumElem value=\"0\"/><EnumElem/></Data></Pref>"
                   "</Tab><Tab/></Category></Application>"));
  EXPECT_EQ(run.finish(), (Findings{{"bare.dpx", VERU_ERROR_BAD_INTEGER_WIDGET, ""},
                                    {"bare.dpx", VERU_ERROR_MISSING_TITLE, ""},
                                    {"bare.dpx", VERU_ERROR_BAD_TOGGLE_WIDGET, "T"}}));
}

TEST(VeruValidateGroups, RepeatedCategoryAndTabNamesFollowTheirChildrensFindings) {
  ValidationRun run;
  run.file("a.dpx", file_of(application(
                        "App", "<Category name=\"C\"><Tab name=\"X\">" + pref("P1", "P1") +
                                   "</Tab><Tab name=\"X\">" + pref("P2", "P2") +
                                   "</Tab><Tab name=\"X\"/><Tab name=\"Y\"/><Tab name=\"Y\"/>"
                                   "</Category><Category name=\"C\"/><Category name=\"D\"/>"
                                   "<Category name=\"C\"/>")));
  EXPECT_EQ(run.findings(),
            (Findings{{"a.dpx", VERU_ERROR_TITLE_IS_NAME, "P1"},
                      {"a.dpx", VERU_ERROR_TITLE_IS_NAME, "P2"},
                      {"a.dpx", VERU_ERROR_DUPLICATE_TAB_NAME, "X appears multiple times under C"},
                      {"a.dpx", VERU_ERROR_DUPLICATE_TAB_NAME, "Y appears multiple times under C"},
                      {"a.dpx", VERU_ERROR_DUPLICATE_CATEGORY_NAME,
                       "C appears multiple times under App"}}));
}

TEST(VeruValidateTab, TitlesRepeatOnlyAcrossPlatformVariants) {
  const struct {
    const char* first;
    const char* second;
    bool finding;
  } pairs[] = {
      {"A_WIN", "A_UNX", false}, {"A_MU", "A_EU", false}, {"A", "A_WIN", true},
      {"A_EU", "A_WIN", true},   {"A", "B", true},        {"B_WIN", "A_WIN", true},
      {"_MU", "_EU", true},      {"AB", "AB", false},
  };
  for (const auto& pair : pairs) {
    SCOPED_TRACE(std::string(pair.first) + " " + pair.second);
    ValidationRun run;
    run.file("a.dpx", tab_file(pref(pair.first, "Title") + pref(pair.second, "Title")));
    const Findings expected{{"a.dpx", VERU_ERROR_DUPLICATE_TITLE,
                             std::string(pair.second) + ", " + pair.first + " - Title"}};
    EXPECT_EQ(run.findings(), pair.finding ? expected : Findings{});
  }

  // Every later preference is compared with the first; tabs do not share titles; titles of
  // preferences inside groups are not looked at; an empty title takes no part.
  ValidationRun run;
  run.file("a.dpx", file_of(application(
                        "App", "<Category name=\"C\"><Tab name=\"T\">" + pref("X", "Same") +
                                   pref("Y", "Same") + "<Group name=\"G\">" + pref("G1", "Same") +
                                   pref("G1", "G1") + "</Group>" + pref("Z", "Same") +
                                   pref("E1", "") + pref("E2", "") + "</Tab><Tab name=\"U\">" +
                                   pref("W", "Same") + "</Tab></Category>")));
  EXPECT_EQ(run.finish(), (Findings{{"a.dpx", VERU_ERROR_DUPLICATE_TITLE, "Y, X - Same"},
                                    {"a.dpx", VERU_ERROR_DUPLICATE_TITLE, "Z, X - Same"},
                                    {"a.dpx", VERU_ERROR_MISSING_TITLE, "E1"},
                                    {"a.dpx", VERU_ERROR_MISSING_TITLE, "E2"}}));
}

TEST_F(VeruValidatePref, TitleFindingsComeBeforeTheWidgetFinding) {
  ValidationRun run;
  run.file("a.dpx", tab_file(pref("Same", "Same", "<OptionMenu/>", "logical") +
                             pref("Untitled", "", "<String/>") + pref("Fine", "Fine title")));
  EXPECT_EQ(run.finish(), (Findings{{"a.dpx", VERU_ERROR_TITLE_IS_NAME, "Same"},
                                    {"a.dpx", VERU_ERROR_WIDGET_TYPE_MISMATCH, "Same"},
                                    {"a.dpx", VERU_ERROR_MISSING_TITLE, "Untitled"},
                                    {"a.dpx", VERU_ERROR_BAD_STRING_WIDGET, "Untitled"}}));
}

TEST_F(VeruValidatePref, WidgetRules) {
  const std::string range =
      "<Data type=\"range\"><LowerBound value=\"0\"/><UpperBound "
      "value=\"9\"/></Data>";
  const std::string enum2 =
      "<Data type=\"enum\"><EnumElem value=\"a\"/><EnumElem value=\"b\"/></Data>";
  const std::string enum_repeat =
      "<Data type=\"enum\"><EnumElem value=\"a\"/><EnumElem value=\"a\"/></Data>";
  const std::string color1 = "<Data type=\"color\"><EnumElem value=\"3\"/></Data>";
  const std::string color2 =
      "<Data type=\"color\"><EnumElem value=\"3\"/><EnumElem "
      "value=\"4\"/></Data>";
  const std::string color_repeat =
      "<Data type=\"color\"><EnumElem value=\"3\"/><EnumElem "
      "value=\"3\"/></Data>";
  const struct {
    const char* type;
    std::string inside;
    int code;
  } cases[] = {
      {"logical", "<OptionMenu/>" + enum2, VERU_ERROR_WIDGET_TYPE_MISMATCH},
      {"logical", "<Toggle off=\"b\"/>" + enum2, 0},
      {"logical", "", 0},
      {"int", "<Integer/>", 0},
      {"int", "<Integer/><Data type=\"range\"/>", 0},
      {"int", "<Integer/>" + enum2, VERU_ERROR_BAD_INTEGER_WIDGET},
      {"real", "<Integer/>", VERU_ERROR_BAD_INTEGER_WIDGET},
      {"int", "<IntegerScale/>" + range, 0},
      {"int", "<IntegerScale/><Data type=\"range\"><LowerBound value=\"0\"/></Data>",
       VERU_ERROR_BAD_INTEGER_SCALE_WIDGET},
      {"int",
       "<IntegerScale/><Data type=\"range\"><LowerBound value=\"0\"/><UpperBound "
       "value=\"9\"/><LowerBound/></Data>",
       VERU_ERROR_BAD_INTEGER_SCALE_WIDGET},
      {"int", "<IntegerScale/>", VERU_ERROR_BAD_INTEGER_SCALE_WIDGET},
      {"real", "<IntegerScale/>" + range, VERU_ERROR_BAD_INTEGER_SCALE_WIDGET},
      {"real", "<Real/>", 0},
      {"real", "<Real/>" + range, 0},
      {"int", "<Real/>", VERU_ERROR_BAD_REAL_WIDGET},
      {"real", "<Real/>" + enum2, VERU_ERROR_BAD_REAL_WIDGET},
      {"real", "<RealScale/>" + range, 0},
      {"real", "<RealScale/><Data type=\"range\"><UpperBound value=\"1\"/></Data>",
       VERU_ERROR_BAD_REAL_SCALE_WIDGET},
      {"int", "<RealScale/>" + range, VERU_ERROR_BAD_REAL_SCALE_WIDGET},
      {"string", "<String/>", 0},
      {"string", "<String/>" + enum2, VERU_ERROR_BAD_STRING_WIDGET},
      {"string", "<String/><Data/>", VERU_ERROR_BAD_STRING_WIDGET},
      {"int", "<String/>", VERU_ERROR_BAD_STRING_WIDGET},
      {"string", "<Widestring/>", 0},
      {"string_list", "<Widestring/>", VERU_ERROR_BAD_STRING_WIDGET},
      {"int", "<OptionMenu/>" + enum2, 0},
      {"string", "<OptionMenu/>", VERU_ERROR_BAD_OPTION_MENU_WIDGET},
      {"string", "<OptionMenu/>" + range, VERU_ERROR_BAD_OPTION_MENU_WIDGET},
      {"string", "<OptionMenu/>" + enum_repeat, VERU_ERROR_DUPLICATE_OPTIONS},
      {"string", "<RadioBox/>" + enum2, 0},
      {"string", "<RadioBox/>", VERU_ERROR_BAD_RADIO_BOX_WIDGET},
      {"string", "<RadioBox/>" + enum_repeat, VERU_ERROR_DUPLICATE_OPTIONS},
      {"string", "<BrowseFileSel/>", 0},
      {"int", "<BrowseFileSel/>", VERU_ERROR_BAD_FILE_SELECTION_WIDGET},
      {"string", "<BrowseFileSel/>" + enum2, VERU_ERROR_BAD_FILE_SELECTION_WIDGET},
      {"string", "<BrowseDirSel/>", 0},
      {"real", "<BrowseDirSel/>", VERU_ERROR_BAD_DIRECTORY_SELECTION_WIDGET},
      {"int", "<Color/>", 0},
      {"int", "<Color/>" + enum2, 0},
      {"real", "<Color/>", VERU_ERROR_BAD_COLOR_WIDGET},
      {"int", "<ColorOption/>" + color2, 0},
      {"int", "<ColorOption/><Data type=\"color\"/>", VERU_ERROR_BAD_COLOR_OPTION_MENU_WIDGET},
      {"int", "<ColorOption/>" + color_repeat, VERU_ERROR_DUPLICATE_OPTIONS},
      {"real", "<ColorOption/>" + color_repeat, VERU_ERROR_BAD_COLOR_OPTION_MENU_WIDGET},
      {"int", "<ColorOption/>" + enum2, VERU_ERROR_BAD_COLOR_OPTION_MENU_WIDGET},
      {"int", "<ColorToggle/>" + color1, 0},
      {"int", "<ColorToggle/>" + color2, VERU_ERROR_BAD_COLOR_TOGGLE_WIDGET},
      {"int", "<ColorToggle/>" + color_repeat, VERU_ERROR_DUPLICATE_OPTIONS},
      {"string", "<ColorToggle/>" + color1, VERU_ERROR_BAD_COLOR_TOGGLE_WIDGET},
      {"string", "<Toggle off=\"a\"/>" + enum2, 0},
      {"string", "<Toggle off=\"a\"/><Data><EnumElem value=\"a\"/><EnumElem value=\"b\"/></Data>",
       0},
      {"string",
       "<Toggle off=\"a\"/><Data type=\"enum\"><EnumElem value=\"a\"/><EnumElem value=\"b\"/>"
       "<EnumElem value=\"c\"/></Data>",
       VERU_ERROR_BAD_TOGGLE_WIDGET},
      {"string", "<Toggle off=\"c\"/>" + enum2, VERU_ERROR_BAD_TOGGLE_WIDGET},
      {"string", "<Toggle/>" + enum2, VERU_ERROR_BAD_TOGGLE_WIDGET},
      {"string", "<Toggle off=\"a\"/>", VERU_ERROR_BAD_TOGGLE_WIDGET},
      {"string_list", "<MultiLineText/>", 0},
      {"string", "<MultiLineText/>", VERU_ERROR_WIDGET_TYPE_MISMATCH},
      {"string_list", "<MultiLineText/>" + enum2, VERU_ERROR_WIDGET_TYPE_MISMATCH},
      // The last widget and the last Data element are the ones that count.
      {"int", "<String/><Integer/>", 0},
      {"int", "<Integer/><String/>", VERU_ERROR_BAD_STRING_WIDGET},
      {"int", "<Integer/>" + enum2 + "<Data type=\"range\"/>", 0},
      {"int", "<Integer/><Data type=\"range\"/>" + enum2, VERU_ERROR_BAD_INTEGER_WIDGET},
      {"int", "<Integer/><Data type=\"range\"/><Description>x</Description>", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " " + c.inside);
    ValidationRun run;
    run.file("a.dpx", tab_file(pref("N", "Title", c.inside, c.type)));
    const Findings expected{{"a.dpx", c.code, "N"}};
    EXPECT_EQ(run.findings(), c.code ? expected : Findings{});
  }
}

TEST_F(VeruValidatePref, CreationChecksTheElementWhileChecking) {
  VERU_VALIDATE_init_schema();
  Document document(tab_file(pref("P", "t")));
  OmPtr<VERU_validate_root> root(
      static_cast<VERU_validate_root*>(OM_create_object(VERU_validate_root_c)));
  XERCES_DOM_node* pref_node = document.find("Pref");
  ASSERT_NE(pref_node, nullptr);
  MACH__checking_level = 1;
  std::string what;
  EXPECT_EQ(raised_code([&] { VERU_validate_tab::create(pref_node, root.get()); }, &what),
            ERROR_ASSERTION_CODE);
  EXPECT_EQ(what, "strcmp(XERCES_DOM_getNodeName((XERCES_DOM_node *)dom_node), VERU_TAB) == 0");
  EXPECT_EQ(raised_code([&] { VERU_validate_application::create(nullptr, root.get()); }),
            ERROR_ASSERTION_CODE);
  OmPtr<VERU_validate_pref> validator(VERU_validate_pref::create(pref_node, root.get()));
  EXPECT_EQ(validator->ask_veru_root(), root.get());
  // A whole run passes the class checks.
  ValidationRun run;
  run.file("a.dpx", tab_file(pref("P", "t") + pref("P", "u")));
  EXPECT_EQ(run.finish(),
            (Findings{{"a.dpx", VERU_ERROR_DUPLICATE_PREF_NAME, "P appears in a.dpx"}}));
  MACH__checking_level = 0;
}
