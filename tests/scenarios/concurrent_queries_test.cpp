// Queries from threads other than the host's: readers ask for preferences of every type while the
// host's thread edits, reloads and sets loaded values itself, and every answer a reader gets was
// in force at some moment; unknown names and wrong types raise on any thread as on the host's.
#include "installation.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <thread>

namespace {

// A preference of the test and the type letter of its query: i(nt), r(eal), l(ogical),
// s(tring) or L (string list).
struct pref_s {
  std::string name;
  char type;
};

const std::vector<pref_s>& prefs() {
  static const std::vector<pref_s> all = [] {
    std::vector<pref_s> made;
    for (int i = 0; i < 6; ++i) {
      for (const auto& [stem, type] : {std::pair<const char*, char>{"Count", 'i'},
                                       {"Scale", 'r'},
                                       {"Flag", 'l'},
                                       {"Note", 's'},
                                       {"Paths", 'L'}}) {
        made.push_back({stem + std::to_string(i), type});
      }
    }
    return made;
  }();
  return all;
}

const char* type_name(char type) {
  switch (type) {
    case 'i':
      return "int";
    case 'r':
      return "real";
    case 'l':
      return "logical";
    case 's':
      return "string";
  }
  return "string_list";
}

// The value text of the n-th value the test gives a preference of the type; strings grow and
// shrink, so that a new string rarely fits where the old one was.
std::string value_text(char type, int n) {
  switch (type) {
    case 'i':
      return std::to_string(n);
    case 'r':
      return std::to_string(n) + ".25";
    case 'l':
      return n % 2 ? "true" : "false";
    case 's':
      return "note " + std::to_string(n) + std::string(static_cast<std::size_t>(n % 7) * 9, 'x');
  }
  return "\"dir " + std::to_string(n) + "\"\\\"" +
         std::string(static_cast<std::size_t>(n % 5), 'p') + "\"";
}

void install(const Installation& installation) {
  std::string body = "<Application name=\"App\" csh=\"app\"><Category name=\"C\"><Tab name=\"T\">";
  for (const pref_s& pref : prefs()) {
    body += "<Pref name=\"" + pref.name + "\" type=\"" + type_name(pref.type) + "\" value=\"" +
            (pref.type == 'L' ? "one" : value_text(pref.type, 0)) + "\"/>";
  }
  installation.define("kv_gateway.dpx", definitions(body + "</Tab></Category></Application>\n"));
  installation.write_values(1, values(entry("Count0", "11") + entry("Note0", "site")));
  installation.write_values(3, values(entry("Count1", "33") + entry("Flag1", "true")));
}

// What the typed query of the preference's type answers, as text.
std::string answer(const pref_s& pref) {
  const char* name = pref.name.c_str();
  switch (pref.type) {
    case 'i':
      return std::to_string(VERU_ask_int(name));
    case 'r': {
      char text[32];
      std::snprintf(text, sizeof text, "%.17g", VERU_ask_real(name));
      return text;
    }
    case 'l':
      return VERU_ask_logical(name) ? "true" : "false";
    case 's':
      return taken(VERU_ask_string(name));
  }
  char** items = nullptr;
  const int count = VERU_ask_string_list(name, &items);
  std::string joined;
  for (const std::string& item : taken(items, count)) {
    joined += item + "|";
  }
  return joined;
}

// The answers of each preference, by its index in prefs().
using answers_s = std::vector<std::set<std::string>>;

// Queries random preferences until stop is set: their answers go to seen; a query that should
// raise and does not, or raises otherwise, counts in faults.
void read_until(const std::atomic<bool>& stop, unsigned seed, answers_s* seen, long long* queries,
                int* faults) {
  std::mt19937 random(seed);
  const std::vector<pref_s>& all = prefs();
  std::uniform_int_distribution<std::size_t> pick(0, all.size() - 1);
  seen->assign(all.size(), {});
  while (!stop.load(std::memory_order_relaxed)) {
    const std::size_t index = pick(random);
    const pref_s& pref = all[index];
    (*seen)[index].insert(answer(pref));
    if (++*queries % 16 == 0) {
      const pref_s& other = all[(index + 1) % all.size()];  // of another type
      if (raised_code([&] {
            answer({pref.name, other.type});
          }) != VERU_ERROR_TYPE_MISMATCH ||
          raised_code([&] {
            answer({pref.name + "?", pref.type});
          }) != VERU_ERROR_UNKNOWN_PREF ||
          !VERU_is_known_default(pref.name.c_str()) ||
          VERU_is_known_default(pref.name.substr(1).c_str())) {
        ++*faults;
      }
    }
  }
}

// One change of what queries answer, made on the host's thread as a host or its editor makes
// it; step numbers the changes.
void change(int step) {
  const pref_s& chosen = prefs()[static_cast<std::size_t>(step) % prefs().size()];
  const char* name = chosen.name.c_str();
  const std::string text = value_text(chosen.type, step);
  switch (step % 7) {
    case 0:
    case 1:
      VERU_edit_value(name, step % 2 ? 3 : 1, text.c_str(), nullptr);
      break;
    case 2:
      VERU_edit_reset(name, 3, nullptr);
      break;
    case 3:
      VERU_edit_lock(name, 1, !pref(name)->is_locked_at(1), nullptr);
      break;
    case 4: {  // host code giving a loaded value of its own
      VERU_pref* object = pref(name);
      VERU_value* replaced = object->loaded_value();
      object->set_loaded_value(object->create_veru_value(text.c_str()));
      OM_delete_object(replaced);
      break;
    }
    case 5:
      pref(name)->update_loaded_value(step % 4);
      break;
    default:
      VERU_edit_level_lock(2, step % 14 == 6, nullptr);
  }
}

}  // namespace

TEST(ConcurrentQueries, ReadersSeeOnlyValuesThatWereInForce) {
  Installation installation;
  install(installation);
  installation.start();
  const std::vector<pref_s>& all = prefs();
  answers_s in_force(all.size());
  auto note_in_force = [&] {
    for (std::size_t i = 0; i < all.size(); ++i) in_force[i].insert(answer(all[i]));
  };
  note_in_force();

  constexpr int READERS = 4;
  std::atomic<bool> stop{false};
  std::vector<answers_s> seen(READERS);
  std::vector<long long> queries(READERS, 0);
  std::vector<int> faults(READERS, 0);
  std::vector<std::thread> readers;
  for (int r = 0; r < READERS; ++r) {
    readers.emplace_back(read_until, std::cref(stop), 20261207u + static_cast<unsigned>(r),
                         &seen[static_cast<std::size_t>(r)], &queries[static_cast<std::size_t>(r)],
                         &faults[static_cast<std::size_t>(r)]);
  }
  // The host's thread changes values, changes the site's file, which processing the changes
  // reads again once it has settled, and now and then reloads a changed user file; reading a
  // file rebuilds that level's recorded values while the readers read.
  // A value is noted after each call that can change what queries answer, as each call changes
  // a preference's answer at most once: noting only at the end of a step would miss a value
  // that a step gives and takes back, such as a loaded value set by the host code that the
  // processing of the same step replaces when it reads the reloaded user level again.
  ASSERT_EQ(VERU_watch_levels(0, nullptr), 0);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  const LogCapture reloads_logged;
  int steps = 0;
  for (; std::chrono::steady_clock::now() < end; ++steps) {
    change(steps);
    note_in_force();
    if (steps % 200 == 100) {
      const std::string n = std::to_string(steps);
      installation.write_values(1, values(entry("Count4", n) + entry("Note4", "site " + n) +
                                          entry("Paths4", value_text('L', steps))));
    }
    if (steps % 50 == 49) {
      installation.write_values(3, values(entry("Count2", std::to_string(steps))));
      VERU_set_level_up_to_date(3, false);
      VERU_reload_values_xml();
    }
    if (steps % 10 == 0) VERU_process_changes(nullptr);
    note_in_force();
  }
  VERU_unwatch_levels();
  stop = true;
  for (std::thread& reader : readers) reader.join();

  std::size_t changing = 0;  // preferences that readers saw with more than one value
  for (int r = 0; r < READERS; ++r) {
    const auto at = static_cast<std::size_t>(r);
    EXPECT_GT(queries[at], 0) << "reader " << r;
    EXPECT_EQ(faults[at], 0) << "reader " << r;
    for (std::size_t i = 0; i < all.size(); ++i) {
      for (const std::string& value : seen[at][i]) {
        EXPECT_EQ(in_force[i].count(value), 1u)
            << all[i].name << " answered " << value << ", never in force";
      }
      if (seen[at][i].size() > 1) ++changing;
    }
  }
  EXPECT_GT(changing, 0u) << "the readers never saw a value change in " << steps << " steps";

  // With no reader left, the next replaced string frees every one that waited.
  VERU_pref* note = pref("Note3");
  VERU_value* replaced = note->loaded_value();
  note->set_loaded_value(note->create_veru_value("last"));
  OM_delete_object(replaced);
  VERU_query_table_facts_s facts{};
  VERU__ask_query_table_facts(&facts);
  EXPECT_EQ(facts.strings_waiting, 0);
  EXPECT_EQ(facts.preferences, static_cast<int>(all.size()));
}

TEST(ConcurrentQueries, UnknownNamesAndWrongTypesRaiseOnAnyThreadAsOnTheHostThread) {
  Installation installation;
  install(installation);
  installation.start();
  const std::vector<std::pair<std::string, char>> cases = {
      {"Count0", 'r'}, {"Count0", 'l'}, {"Scale0", 'i'},  {"Flag0", 's'}, {"Note0", 'L'},
      {"Paths0", 'i'}, {"count0", 'i'}, {"Count0 ", 'i'}, {"", 's'},      {"Missing", 'L'},
  };
  struct outcome_s {
    int code;
    std::string what;
    bool known;
  };
  auto outcomes = [&cases] {
    std::vector<outcome_s> made;
    for (const auto& named : cases) {
      outcome_s outcome{0, "", VERU_is_known_default(named.first.c_str())};
      outcome.code = raised_code([&] { answer({named.first, named.second}); }, &outcome.what);
      made.push_back(outcome);
    }
    return made;
  };
  const std::vector<outcome_s> on_host = outcomes();
  std::vector<outcome_s> on_worker;
  std::thread([&] { on_worker = outcomes(); }).join();
  ASSERT_EQ(on_worker.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_NE(on_host[i].code, -1) << cases[i].first;
    EXPECT_EQ(on_worker[i].code, on_host[i].code) << cases[i].first;
    EXPECT_EQ(on_worker[i].what, on_host[i].what) << cases[i].first;
    EXPECT_EQ(on_worker[i].known, on_host[i].known) << cases[i].first;
  }
  EXPECT_EQ(on_host[6].what, "VERU: preference count0 is not found in database");
  EXPECT_EQ(on_host[0].what, "VERU: preference Count0 is not of type real");
}
