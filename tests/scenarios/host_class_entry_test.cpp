// A preference of a class that the host derives from one of the typed classes: a save writes its
// entry with the same texts as the entry of the library's own class.
#include "installation.h"

#include <cstring>

namespace {

// A host class that adds nothing of its own, as a host derives one to hang its own code on.
class HostPrefInt : public VERU_pref_int {};

// Defines the host's class under a schema of the host's, as the host does once at start-up.
int define_host_class() {
  OM_schema_s* schema = OM_create_schema("HST", 0);
  const int class_id = OM_create_class(schema, VERU_pref_int_c, "HST_pref_int");
  OM_set_constructor<HostPrefInt>(
      OM_init_class_descriptor(class_id, OM_ask_class_descriptor(VERU_pref_int_c)));
  return class_id;
}

// A preference of the host's class beside twin, with its title, added to the module.
VERU_pref_int* add_host_pref(const char* name, VERU_pref* twin) {
  auto* pref = static_cast<VERU_pref_int*>(OM_create_object(define_host_class()));
  VERU_pref::initialise(pref, name);
  pref->set_parent(twin->ask_parent());
  pref->set_title(TEXT_ask_utf8(twin->ask_title()));
  pref->set_value(pref->create_veru_value("10"), 0);
  VERU__ask_module_root()->add_pref(pref);
  return pref;
}

// The Pref element of the named preference in a saved file, its name attribute left out.
std::string entry_of(const std::string& saved, const std::string& name) {
  const std::string attribute = " name=\"" + name + "\"";
  const std::size_t at = saved.find(attribute);
  const std::size_t start = saved.rfind("<Pref ", at);
  if (at == std::string::npos || start == std::string::npos) return "(none)";
  const std::size_t tag_end = saved.find('>', at);
  const std::size_t end =
      saved[tag_end - 1] == '/' ? tag_end + 1 : saved.find("</Pref>", at) + std::strlen("</Pref>");
  std::string element = saved.substr(start, end - start);
  element.erase(at - start, attribute.size());
  return element;
}

}  // namespace

TEST(HostClassEntry, AHostClassSavesTheTextsOfTheLibrarysClass) {
  Installation installation;
  installation.define("kv_gateway.dpx", definitions(R"(
<Application name="Modeling" csh="mod">
  <Category name="Parts">
    <Tab name="Sketch">
      <Group name="Look">
        <Pref name="Count" type="int" value="10" title="Count"/>
      </Group>
    </Tab>
  </Category>
</Application>
)"));
  installation.start();
  VERU_pref* own = pref("Count");
  VERU_pref* hosted = add_host_pref("Hosted", own);
  for (VERU_pref* each : {own, hosted}) {
    static_cast<VERU_pref_int*>(each)->set_int(42, 3);
    each->set_locked(true, 3);
    TEXT_s* comment = TEXT_create_string("kept <&> here");
    each->set_comment(comment, 3);
    TEXT_free(comment);
    each->ask_recorded_value(3)->set_modification_date(1600000000);
  }
  char* reason = nullptr;
  ASSERT_EQ(VERU_save_level(3, &reason), 0) << taken(reason);
  const std::string saved = read_file(installation.value_file(3));
  const std::string expected =
      "<Pref Application=\"Modeling\" Category=\"Parts\" Tab=\"Sketch\" title=\"Look - Count\" "
      "displayValue=\"42\" value=\"42\" locked=\"yes\" modified=\"2020-09-13T12:26:40Z\">"
      "<UserComment>kept &lt;&amp;&gt; here</UserComment></Pref>";
  EXPECT_EQ(entry_of(saved, "Count"), expected) << saved;
  EXPECT_EQ(entry_of(saved, "Hosted"), expected) << saved;
}
