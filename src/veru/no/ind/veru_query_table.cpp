// The query table: per preference a record of its loaded value, its name's hash and text, in one
// block, chained by hash bucket; the host's thread replaces values in place, atomically.
#include "veru_query_table.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

#include "veru_read_epochs.h"
#include "veru_xml.h"

#define VERU_SOURCE "src/veru/no/ind/veru_query_table"

namespace {

bool is_string_kind(veru_query_kind kind) {
  return kind == veru_query_kind::string || kind == veru_query_kind::list ||
         kind == veru_query_kind::string_list;
}

int value_class_of(veru_query_kind kind) {
  switch (kind) {
    case veru_query_kind::integer:
      return VERU_int_value_c;
    case veru_query_kind::real:
      return VERU_real_value_c;
    case veru_query_kind::logical:
      return VERU_logical_value_c;
    case veru_query_kind::string:
    case veru_query_kind::list:
    case veru_query_kind::string_list:
      return VERU_string_value_c;
    case veru_query_kind::other:
      break;
  }
  return 0;
}

veru_query_kind kind_of(int pref_class) {
  if (pref_class == VERU_pref_int_c) return veru_query_kind::integer;
  if (pref_class == VERU_pref_real_c) return veru_query_kind::real;
  if (pref_class == VERU_pref_logical_c) return veru_query_kind::logical;
  if (pref_class == VERU_pref_string_c) return veru_query_kind::string;
  if (pref_class == VERU_pref_string_list_c) return veru_query_kind::string_list;
  if (OM_is_subclass(pref_class, VERU_pref_list_c)) return veru_query_kind::list;
  if (OM_is_subclass(pref_class, VERU_pref_string_c)) return veru_query_kind::string;
  return veru_query_kind::other;
}

[[noreturn]] void raise_fault(const veru_query_answer& answer) {
  if (answer.fault == veru_query_answer::NO_LOADED_VALUE) {
    ERROR_assertion_failed(VERU_SOURCE, __LINE__, "%s", "value_obj != NULL");
  }
  ERROR_internal(VERU_SOURCE, __LINE__, "object of class %s where a %s is expected",
                 OM_ask_class_name(answer.fault), OM_ask_class_name(value_class_of(answer.kind)));
}

// One preference. The name and its terminator follow the fields, from NAME_OFFSET; for the
// string kinds, the string the table was made with follows the name. value holds the native
// value (an int as its 32 bits, a real as its 64, a logical as 0 or 1) or the address of the
// string; fault is the answer's fault. Both change only on the host's thread, fault after value;
// the rest never changes.
struct record_s {
  std::atomic<std::uint64_t> value;
  std::uint32_t hash;
  std::uint32_t next;  // 1 + the word of the next record of the bucket; 0 for none
  std::atomic<std::uint16_t> fault;
  veru_query_kind kind;

  static constexpr std::size_t NAME_OFFSET = 19;

  const char* name() const { return reinterpret_cast<const char*>(this) + NAME_OFFSET; }
  char* name() { return reinterpret_cast<char*>(this) + NAME_OFFSET; }
  // Where the string the table was made with lies, which is never freed on its own.
  const char* first_string() const { return name() + std::strlen(name()) + 1; }

  veru_query_answer answer() const {
    veru_query_answer answer;
    answer.kind = kind;
    answer.fault = fault.load(std::memory_order_acquire);
    answer.bits = value.load(std::memory_order_seq_cst);
    return answer;
  }
};
static_assert(offsetof(record_s, kind) + 1 == record_s::NAME_OFFSET, "the name follows the fields");
static_assert(sizeof(record_s) == 24 && alignof(record_s) == 8, "records are aligned words");
static_assert(std::atomic<std::uint64_t>::is_always_lock_free &&
                  std::atomic<std::uint16_t>::is_always_lock_free,
              "values are replaced without locks");

constexpr std::size_t WORD = 8;

std::size_t words_for(std::size_t bytes) {
  return (bytes + WORD - 1) / WORD;
}

const char* string_of(const veru_query_answer& answer) {
  return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(answer.bits));
}

std::uint64_t bits_of(const char* string) {
  return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(string));
}

// What a record is made of: the preference's name and its answer, with the sizes of the name
// and of the answer's string (0 when the record keeps no string), terminators included.
struct record_plan_s {
  const char* name;
  veru_query_answer answer;
  std::uint32_t hash;
  std::uint32_t name_size;
  std::uint32_t string_size;

  static record_plan_s of(const VERU_pref* pref) ABSL_EXCLUSIVE_LOCKS_REQUIRED(veru_host_thread) {
    const char* name = pref->name();
    record_plan_s plan{name ? name : "", veru_answer_of(pref), 0, 0, 0};
    plan.name_size = static_cast<std::uint32_t>(std::strlen(plan.name) + 1);
    plan.hash = OM_hash_string(plan.name);
    const veru_query_answer& answer = plan.answer;
    if (is_string_kind(answer.kind) && answer.fault == 0 && answer.bits) {
      plan.string_size = static_cast<std::uint32_t>(std::strlen(string_of(answer)) + 1);
    }
    return plan;
  }
  std::size_t words() const {
    return words_for(record_s::NAME_OFFSET + std::size_t{name_size} + string_size);
  }
};

// Makes the record in the words at place, as many as the plan's words(), chained to nothing.
record_s* place_record(std::uint64_t* place, const record_plan_s& plan) {
  auto* record = new (place) record_s{};
  record->hash = plan.hash;
  record->kind = plan.answer.kind;
  record->fault.store(plan.answer.fault, std::memory_order_relaxed);
  std::memcpy(record->name(), plan.name, plan.name_size);
  std::uint64_t value = plan.answer.bits;
  if (plan.string_size > 0) {
    char* first = record->name() + plan.name_size;
    std::memcpy(first, string_of(plan.answer), plan.string_size);
    value = bits_of(first);
  }
  record->value.store(value, std::memory_order_relaxed);
  return record;
}

// A record of a preference that joined the preference set after the table was made.
struct late_record_s {
  const late_record_s* next;
  std::unique_ptr<std::uint64_t[]> words;
  const record_s* record() const { return reinterpret_cast<const record_s*>(words.get()); }
};

struct table_s {
  // At least as many buckets as preferences, a power of 2; each bucket's records are chained from
  // its head, so that a query reads a head and then, mostly, one record.
  std::uint32_t mask = 0;                  // buckets - 1
  std::unique_ptr<std::uint32_t[]> heads;  // per bucket 1 + the word of its first record; 0: none
  std::unique_ptr<std::uint64_t[]> words;  // the records, in the order they were made
  std::size_t word_count = 0;
  std::atomic<const late_record_s*> late{nullptr};
  // What the facts tell, kept by the host's thread.
  int preferences = 0;
  long long bytes = 0;
  long long name_bytes = 0;
  veru_work_time_s build_time;

  const record_s* find(const char* name) const {
    const std::uint32_t hash = OM_hash_string(name);
    const std::uint32_t bucket = hash & mask;
    for (std::uint32_t at = heads[bucket]; at != 0;) {
      const auto* record = reinterpret_cast<const record_s*>(&words[at - 1]);
      if (record->hash == hash && std::strcmp(record->name(), name) == 0) return record;
      at = record->next;
    }
    for (const late_record_s* late_record = late.load(std::memory_order_acquire); late_record;
         late_record = late_record->next) {
      const record_s* record = late_record->record();
      if (record->hash == hash && std::strcmp(record->name(), name) == 0) return record;
    }
    return nullptr;
  }
};

// Made once, never freed: queries on other threads may read it until the process ends.
std::atomic<table_s*> published{nullptr};

// The host's thread reads the table without the ordering that other threads need.
table_s* own_table() ABSL_EXCLUSIVE_LOCKS_REQUIRED(veru_host_thread) {
  return published.load(std::memory_order_relaxed);
}

bool same_string(const char* a, const char* b) {
  return a == b || (a && b && std::strcmp(a, b) == 0);
}

// Replaces the record's value by the answer's, atomically for queries on other threads: a
// string by a new copy, the one it replaces freed once no query can be reading it.
void store(table_s& table, record_s& record, const veru_query_answer& answer)
    ABSL_EXCLUSIVE_LOCKS_REQUIRED(veru_host_thread) {
  if (answer.fault != 0) {
    record.fault.store(answer.fault, std::memory_order_release);
    return;
  }
  const std::uint64_t now = record.value.load(std::memory_order_relaxed);
  const bool answers = record.fault.load(std::memory_order_relaxed) == 0;
  if (!is_string_kind(record.kind)) {
    if (!answers || now != answer.bits) {
      record.value.store(answer.bits, std::memory_order_seq_cst);
      record.fault.store(0, std::memory_order_release);
    }
    return;
  }
  const char* wanted = string_of(answer);
  const auto* current = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(now));
  if (answers && same_string(current, wanted)) return;
  char* copy = nullptr;
  if (wanted) {
    const std::size_t size = std::strlen(wanted) + 1;
    copy = static_cast<char*>(std::malloc(size));
    if (!copy) throw std::bad_alloc();
    std::memcpy(copy, wanted, size);
    table.bytes += static_cast<long long>(size);
  }
  const std::uint64_t replaced = record.value.exchange(bits_of(copy), std::memory_order_seq_cst);
  record.fault.store(0, std::memory_order_release);
  auto* old = reinterpret_cast<char*>(static_cast<std::uintptr_t>(replaced));
  if (old && old != record.first_string()) {
    table.bytes -= static_cast<long long>(std::strlen(old) + 1);
    veru_retire(old);
  }
}

void collect(OM_object* object, void* data) {
  static_cast<std::vector<const VERU_pref*>*>(data)->push_back(static_cast<VERU_pref*>(object));
}

// Puts the preferences in the order of their addresses, to a few kilobytes (one counting sort
// over at most 8,192 ranges of addresses): the pools lay objects out in the order they were made,
// each beside its name and values, so that walking them in that order reads the pools from start
// to end instead of all over.
void sort_by_address(std::vector<const VERU_pref*>* prefs) {
  if (prefs->size() < 2) return;
  auto address = [](const VERU_pref* pref) { return reinterpret_cast<std::uintptr_t>(pref); };
  std::uintptr_t low = address(prefs->front());
  std::uintptr_t high = low;
  for (const VERU_pref* pref : *prefs) {
    low = std::min(low, address(pref));
    high = std::max(high, address(pref));
  }
  constexpr int RANGE_BITS = 13;
  int shift = 6;  // a cache line
  while (((high - low) >> shift) >= (std::uintptr_t{1} << RANGE_BITS)) ++shift;
  auto range = [&](const VERU_pref* pref) { return (address(pref) - low) >> shift; };
  std::vector<std::uint32_t> starts((std::size_t{1} << RANGE_BITS) + 1);
  for (const VERU_pref* pref : *prefs) ++starts[range(pref) + 1];
  for (std::size_t i = 1; i < starts.size(); ++i) starts[i] += starts[i - 1];
  std::vector<const VERU_pref*> sorted(prefs->size());
  for (const VERU_pref* pref : *prefs) sorted[starts[range(pref)]++] = pref;
  prefs->swap(sorted);
}

// The plans of the preferences' records. Each preference is asked for ahead of its turn, and its
// name and loaded value a little later, so that the processor waits for several at a time.
std::vector<record_plan_s> plan_records(const std::vector<const VERU_pref*>& prefs)
    ABSL_EXCLUSIVE_LOCKS_REQUIRED(veru_host_thread) {
  constexpr std::size_t AHEAD = 32;
  auto prefetch_pref = [&prefs](std::size_t i) {
    if (i >= prefs.size()) return;
    const char* object = reinterpret_cast<const char*>(prefs[i]);
    __builtin_prefetch(object);
    __builtin_prefetch(object - 64);  // the slots lie in front of the object
  };
  auto prefetch_parts = [&prefs](std::size_t i) {
    if (i >= prefs.size()) return;
    __builtin_prefetch(prefs[i]->name());
    __builtin_prefetch(prefs[i]->loaded_value());
  };
  for (std::size_t i = 0; i < AHEAD; ++i) prefetch_pref(i);
  std::vector<record_plan_s> plans;
  plans.reserve(prefs.size());
  for (std::size_t i = 0; i < prefs.size(); ++i) {
    prefetch_pref(i + AHEAD);
    prefetch_parts(i + AHEAD / 2);
    plans.push_back(record_plan_s::of(prefs[i]));
  }
  return plans;
}

// Makes the records of the plans one after another, each chained to its bucket. The block is
// made once, to its size: the strings the records hold are addressed where they lie.
void add_records(const std::vector<record_plan_s>& plans, table_s* table) {
  std::size_t words = 0;
  for (const record_plan_s& plan : plans) words += plan.words();
  if (words >= UINT32_MAX) throw std::length_error("query table of more than 32 GB");
  table->words.reset(new std::uint64_t[words]);
  table->word_count = words;
  std::size_t at = 0;
  for (const record_plan_s& plan : plans) {
    record_s* record = place_record(&table->words[at], plan);
    std::uint32_t& head = table->heads[plan.hash & table->mask];
    record->next = head;
    head = static_cast<std::uint32_t>(at + 1);
    at += plan.words();
    table->name_bytes += plan.name_size;
  }
}

std::uint32_t bucket_count_for(std::size_t preferences) {
  std::uint32_t buckets = 1;
  while (buckets < preferences) buckets *= 2;
  return buckets;
}

}  // namespace

int veru_query_answer::as_int() const {
  if (fault != 0) raise_fault(*this);
  return static_cast<int>(static_cast<std::uint32_t>(bits));
}

double veru_query_answer::as_real() const {
  if (fault != 0) raise_fault(*this);
  double real = 0;
  std::memcpy(&real, &bits, sizeof real);
  return real;
}

bool veru_query_answer::as_logical() const {
  if (fault != 0) raise_fault(*this);
  return bits != 0;
}

const char* veru_query_answer::as_string() const {
  if (fault != 0) raise_fault(*this);
  return string_of(*this);
}

veru_query_answer veru_answer_of(const VERU_pref* pref) {
  veru_query_answer answer;
  answer.kind = kind_of(pref->class_id());
  const int value_class = value_class_of(answer.kind);
  const VERU_value* loaded = pref->loaded_value();
  if (value_class == 0) return answer;
  if (!loaded) {
    answer.fault = veru_query_answer::NO_LOADED_VALUE;
  } else if (loaded->class_id() != value_class &&
             !OM_is_subclass(loaded->class_id(), value_class)) {
    answer.fault = static_cast<std::uint16_t>(loaded->class_id());
  } else if (value_class == VERU_int_value_c) {
    answer.bits = static_cast<std::uint32_t>(static_cast<const VERU_int_value*>(loaded)->value());
  } else if (value_class == VERU_real_value_c) {
    const double real = static_cast<const VERU_real_value*>(loaded)->value();
    std::memcpy(&answer.bits, &real, sizeof real);
  } else if (value_class == VERU_logical_value_c) {
    answer.bits = static_cast<const VERU_logical_value*>(loaded)->value() ? 1 : 0;
  } else {
    answer.bits = bits_of(static_cast<const VERU_string_value*>(loaded)->value());
  }
  return answer;
}

veru_table_lookup veru_query_table_answer(const char* name, veru_query_answer* answer) {
  const table_s* table = published.load(std::memory_order_acquire);
  if (!table) return veru_table_lookup::not_built;
  const record_s* record = name ? table->find(name) : nullptr;
  if (!record) return veru_table_lookup::unknown;
  *answer = record->answer();
  return veru_table_lookup::found;
}

void veru_build_query_table(const OM_set* pref_set) {
  const veru_stopwatch stopwatch;
  std::vector<const VERU_pref*> prefs;
  prefs.reserve(static_cast<std::size_t>(OM_ask_set_count(pref_set)));
  OM_for_all_in_set(pref_set, collect, &prefs);
  sort_by_address(&prefs);

  auto table = std::make_unique<table_s>();
  const std::uint32_t buckets = bucket_count_for(prefs.size());
  table->mask = buckets - 1;
  table->heads = std::make_unique<std::uint32_t[]>(buckets);
  add_records(plan_records(prefs), table.get());
  table->preferences = static_cast<int>(prefs.size());
  table->bytes =
      static_cast<long long>(sizeof(table_s) + std::size_t{buckets} * 4 + table->word_count * WORD);
  table->build_time = stopwatch.elapsed();
  published.store(table.release(), std::memory_order_release);
}

void veru_add_to_query_table(const VERU_pref* pref) {
  table_s* table = own_table();
  if (!table) return;
  const record_plan_s plan = record_plan_s::of(pref);
  auto* late_record = new late_record_s{table->late.load(std::memory_order_relaxed),
                                        std::make_unique<std::uint64_t[]>(plan.words())};
  place_record(late_record->words.get(), plan);
  ++table->preferences;
  table->bytes += static_cast<long long>(sizeof(late_record_s) + plan.words() * WORD);
  table->name_bytes += plan.name_size;
  table->late.store(late_record, std::memory_order_release);
}

void veru_publish_loaded_value(const VERU_pref* pref) {
  table_s* table = own_table();
  if (!table) return;
  const record_s* record = table->find(pref->ask_name());
  if (!record || VERU_lookup_pref(pref->ask_name()) != pref) return;
  // The host's thread is the only one that changes records.
  store(*table, const_cast<record_s&>(*record), veru_answer_of(pref));
}

void veru_ask_query_table_facts(VERU_query_table_facts_s* facts) {
  *facts = VERU_query_table_facts_s{};
  const table_s* table = own_table();
  if (!table) return;
  facts->preferences = table->preferences;
  facts->bytes = table->bytes;
  facts->name_bytes = table->name_bytes;
  facts->strings_waiting = veru_retired_count();
  facts->build_cpu_seconds = table->build_time.cpu;
  facts->build_seconds = table->build_time.real;
}
