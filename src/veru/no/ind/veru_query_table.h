// The query table: what the typed queries answer, readable from any thread. Start-up makes it
// once, as its last step, from the preferences as they are then: per preference its name's hash
// and text beside its loaded value, in memory of its own, chained by hash bucket. Names do not
// change after start-up; values do, and the host's thread replaces each atomically (a string by
// a new copy, the old one being freed once no query can be reading it).
#pragma once

#include <veru.h>

#include <cstdint>

#include "veru_host_thread.h"

// What the exact class of a preference lets the typed queries answer.
enum class veru_query_kind : std::uint8_t {
  other,        // nothing
  integer,      // VERU_pref_int
  real,         // VERU_pref_real
  logical,      // VERU_pref_logical
  string,       // VERU_pref_string and its subclasses
  list,         // VERU_pref_list and its subclasses but VERU_pref_string_list: a flattened string
  string_list,  // VERU_pref_string_list: a flattened string, or the items
};

// A preference's loaded value as a query reads it.
struct veru_query_answer {
  // The fault of a preference without a loaded value; any other fault is the class id of a
  // loaded value that is not of the kind's value class.
  static constexpr std::uint16_t NO_LOADED_VALUE = 0xffff;

  veru_query_kind kind = veru_query_kind::other;
  std::uint16_t fault = 0;
  std::uint64_t bits = 0;  // the native value, or the address of the string

  // The native value. A fault raises what reading the preference's loaded value raises: the
  // host's assertion failure "value_obj != NULL", or its internal error for another class.
  int as_int() const;
  double as_real() const;
  bool as_logical() const;
  // Valid while the caller's veru_read_section lasts; null for a string value holding none.
  const char* as_string() const;
};

// What the preference's loaded value answers now.
veru_query_answer veru_answer_of(const VERU_pref* pref)
    ABSL_EXCLUSIVE_LOCKS_REQUIRED(veru_host_thread);

enum class veru_table_lookup { not_built, unknown, found };
// The answer for the preference of that name from the published table (not_built before
// start-up has made it, unknown when no preference has the name). Any thread may ask; a string
// answer needs a veru_read_section around the call and the use of the string.
veru_table_lookup veru_query_table_answer(const char* name, veru_query_answer* answer);

// Makes the table of the preferences in the set and publishes it. Start-up calls it once.
void veru_build_query_table(const OM_set* prefs) ABSL_EXCLUSIVE_LOCKS_REQUIRED(veru_host_thread);
// Gives the published table a preference that joined the preference set after it was made.
void veru_add_to_query_table(const VERU_pref* pref) ABSL_EXCLUSIVE_LOCKS_REQUIRED(veru_host_thread);
// Makes the preference's loaded value what queries answer for its name. Nothing before the table
// is made, nor for a preference that is not the one of its name in the preference set.
void veru_publish_loaded_value(const VERU_pref* pref)
    ABSL_EXCLUSIVE_LOCKS_REQUIRED(veru_host_thread);

void veru_ask_query_table_facts(VERU_query_table_facts_s* facts)
    ABSL_EXCLUSIVE_LOCKS_REQUIRED(veru_host_thread);
