// Module start, the query interface by name, and the host's hooks.
#include <veru.h>

#include "veru_host_thread.h"
#include "veru_module.h"
#include "veru_query_table.h"
#include "veru_read_epochs.h"
#include "veru_xml.h"

#define VERU_SOURCE "src/veru/no/ind/veru"

namespace {

VERU_module_root* module_root ABSL_GUARDED_BY(veru_host_thread) = nullptr;
REG_VERU_data_s hooks ABSL_GUARDED_BY(veru_host_thread){};
bool hooks_registered ABSL_GUARDED_BY(veru_host_thread) = false;

const char* shown(const char* name) {
  return name ? name : "(null)";
}

// The answer for the name: from the query table, or before start-up has made it (when only the
// host's thread may ask) from the preference itself. An unknown name raises, touching nothing
// that another thread changes.
veru_query_answer answer_or_raise(const char* name) {
  veru_query_answer answer;
  const veru_table_lookup found = veru_query_table_answer(name, &answer);
  if (found == veru_table_lookup::found) return answer;
  if (found == veru_table_lookup::not_built) {
    veru_on_host_thread();
    if (const VERU_pref* pref = module_root ? module_root->find_pref(name) : nullptr) {
      return veru_answer_of(pref);
    }
  }
  ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_UNKNOWN_PREF,
              "VERU: preference %s is not found in database", shown(name));
}

// The answer for the name, which must be of the kind.
veru_query_answer answer_of_kind(const char* name, veru_query_kind kind, const char* type) {
  const veru_query_answer answer = answer_or_raise(name);
  if (answer.kind != kind) {
    ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_TYPE_MISMATCH,
                "VERU: preference %s is not of type %s", name, type);
  }
  return answer;
}

}  // namespace

namespace {

// Loads the files, then makes the query table of the preferences loaded, also when loading the
// definitions failed and the module counts as started all the same.
void load_files() ABSL_EXCLUSIVE_LOCKS_REQUIRED(veru_host_thread) {
  try {
    veru_load_definitions();
  } catch (...) {
    veru_build_query_table(module_root->ask_pref_set());
    throw;
  }
  veru_init_levels();
  veru_load_values(true);
  veru_build_query_table(module_root->ask_pref_set());
}

}  // namespace

void VERU_init_module() {
  veru_on_host_thread();
  VERU_init_schema();
  if (!module_root) {
    module_root = static_cast<VERU_module_root*>(OM_create_object(VERU_module_root_c));
    OM_create_root_object(module_root, TAG_create_file(0, "VERU_module_root"));
    module_root->set_pref_set(VERU_module_root::create_pref_set(module_root));
    VERU_init_errors();
    RDEBUG_register_token("veru");
    load_files();
    OM_register_ask_logical_customer_default_fn(VERU_ask_logical);
  }
  if (hooks_registered && hooks.init_done_hook) hooks.init_done_hook();
}

void REG_VERU_register(const REG_VERU_data_s* data) {
  veru_on_host_thread();
  if (hooks_registered || !data) return;
  hooks = *data;
  hooks_registered = true;
}

VERU_module_root_s* VERU__ask_module_root() {
  veru_on_host_thread();
  return module_root;
}

void VERU__ask_query_table_facts(VERU_query_table_facts_s* facts) {
  veru_on_host_thread();
  if (facts) veru_ask_query_table_facts(facts);
}

bool VERU_is_enabled() {
  return true;
}

VERU_pref_s* VERU_lookup_pref(const char* name) {
  veru_on_host_thread();
  return module_root ? module_root->find_pref(name) : nullptr;
}

bool VERU_is_known_default(const char* name) {
  veru_query_answer answer;
  const veru_table_lookup found = veru_query_table_answer(name, &answer);
  if (found != veru_table_lookup::not_built) return found == veru_table_lookup::found;
  return VERU_lookup_pref(name) != nullptr;
}

int VERU_ask_int(const char* name) {
  return answer_of_kind(name, veru_query_kind::integer, "int").as_int();
}

bool VERU_ask_logical(const char* name) {
  return answer_of_kind(name, veru_query_kind::logical, "logical").as_logical();
}

double VERU_ask_real(const char* name) {
  return answer_of_kind(name, veru_query_kind::real, "real").as_real();
}

char* VERU_ask_string(const char* name) {
  const veru_read_section reading;  // the string stays while it is copied
  const veru_query_answer answer = answer_or_raise(name);
  if (answer.kind == veru_query_kind::string) return SM_string_copy(answer.as_string());
  if (answer.kind == veru_query_kind::list || answer.kind == veru_query_kind::string_list) {
    return VERU__remove_quotes_and_backslash(answer.as_string());
  }
  ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_TYPE_MISMATCH,
              "VERU: preference %s is not of type string or string_list", name);
}

int VERU_ask_string_list(const char* name, char*** list) {
  const veru_read_section reading;
  return VERU_string_breakup_lines_separated_by_slash(
      answer_of_kind(name, veru_query_kind::string_list, "string_list").as_string(), list);
}

void VERU_add_visibility_cb(const char* name, bool (*callback)(void)) {
  if (VERU_pref* pref = VERU_lookup_pref(name)) pref->set_visibility_fn(callback);
}

OM_object* veru_call_create_object_hook(OM_object* owner, XERCES_DOM_node* element) {
  veru_on_host_thread();
  if (!hooks_registered || !hooks.create_object_hook) return nullptr;
  return hooks.create_object_hook(owner, element);
}

bool veru_has_create_object_hook() {
  veru_on_host_thread();
  return hooks_registered && hooks.create_object_hook;
}

void veru_call_level_report_hook(int level, int flag) {
  veru_on_host_thread();
  if (hooks_registered && hooks.level_report_hook) hooks.level_report_hook(level, flag);
}
