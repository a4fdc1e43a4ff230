// Saving the user level with 5,000 values (VERU__save_values_xml), beside the same document
// built with pugixml directly from plain data and written with the same atomic, synced write
// (CFI_replace_file). A third measurement, the write alone, shows what the sync costs.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <vector>

#include <veru.h>

#include "bench_support.h"

namespace {

using kvrn_bench::format;

constexpr int PREFERENCES = 20000;
constexpr int LEVEL = 3;

// What a program keeping its preferences in plain C++ data would have for one saved entry:
// typed value, the enumeration's members for the shown value, the texts of the dialog.
struct entry_s {
  enum kind_e { INT, REAL, LOGICAL, STRING, LIST } kind = INT;
  std::string name;
  std::string application;
  std::string category;
  std::string tab;
  std::string group;
  std::string title;
  long long number = 0;
  double real = 0.0;
  std::string text;
  std::vector<std::pair<long long, std::string>> int_members;
  std::vector<std::pair<std::string, std::string>> text_members;
  bool locked = false;
  int modified = 0;
  bool has_comment = false;
  std::string comment;
};

struct save_s {
  std::string library_file;
  std::string baseline_file;
  std::string style_sheet;
  bool locked_by_default = false;
  std::vector<entry_s> entries;
  long long log_lines = 0;
  std::string last_log;
};

save_s save;

void keep_log(const char* text, void* data) {
  auto* state = static_cast<save_s*>(data);
  state->last_log = text;
  for (; *text; ++text) {
    if (*text == '\n') ++state->log_lines;
  }
}

std::string text_of(const TEXT_s* text) {
  return TEXT_ask_utf8(text);
}

void collect(OM_object* object, void* data) {
  auto* pref = static_cast<VERU_pref*>(object);
  if (!pref->has_value(LEVEL)) return;
  entry_s entry;
  entry.name = pref->ask_name();
  entry.application = text_of(pref->ask_application_name());
  entry.category = text_of(pref->ask_category_name());
  entry.tab = text_of(pref->ask_tab_name());
  entry.group = text_of(pref->ask_group_name());
  entry.title = text_of(pref->ask_title());
  const VERU_value* value = pref->ask_value(LEVEL);
  const int value_class = value->class_id();
  if (value_class == VERU_int_value_c) {
    entry.kind = entry_s::INT;
    entry.number = static_cast<const VERU_int_value*>(value)->ask_value();
  } else if (value_class == VERU_real_value_c) {
    entry.kind = entry_s::REAL;
    entry.real = static_cast<const VERU_real_value*>(value)->ask_value();
  } else if (value_class == VERU_logical_value_c) {
    entry.kind = entry_s::LOGICAL;
    entry.number = static_cast<const VERU_logical_value*>(value)->ask_value();
  } else {
    entry.kind =
        OM_is_subclass(pref->class_id(), VERU_pref_list_c) ? entry_s::LIST : entry_s::STRING;
    entry.text = static_cast<const VERU_string_value*>(value)->ask_value();
  }
  const VERU_data* data_object = pref->ask_data();
  if (data_object && OM_is_subclass(data_object->class_id(), VERU_data_enum_c)) {
    const auto* enumeration = static_cast<const VERU_data_enum*>(data_object);
    for (int i = 0; i < enumeration->ask_n_elems(); ++i) {
      const VERU_enum_elem* member = enumeration->ask_nth_elem(i);
      const VERU_value* member_value = member->ask_value();
      const std::string name = text_of(member->ask_name());
      if (member_value->class_id() == VERU_int_value_c) {
        entry.int_members.emplace_back(
            static_cast<const VERU_int_value*>(member_value)->ask_value(), name);
      } else if (member_value->class_id() == VERU_string_value_c) {
        entry.text_members.emplace_back(
            static_cast<const VERU_string_value*>(member_value)->ask_value(), name);
      }
    }
  }
  const VERU_recorded_value* recorded = pref->ask_recorded_value(LEVEL);
  entry.locked = recorded->ask_locked();
  entry.modified = recorded->ask_modification_date();
  entry.has_comment = !TEXT_is_null_text(recorded->ask_comment());
  entry.comment = text_of(recorded->ask_comment());
  static_cast<std::vector<entry_s>*>(data)->push_back(std::move(entry));
}

// ---- the baseline -------------------------------------------------------------------------

std::string value_text(const entry_s& entry) {
  char text[64];
  switch (entry.kind) {
    case entry_s::INT:
      std::snprintf(text, sizeof text, "%lld", entry.number);
      return text;
    case entry_s::REAL: {
      std::snprintf(text, sizeof text, "%.15g", entry.real);
      std::string printed = text;
      if (!std::strpbrk(text, ".eEn")) printed += ".0";
      return printed;
    }
    case entry_s::LOGICAL:
      return entry.number ? "true" : "false";
    default:
      return entry.text;
  }
}

// The items of an encoded list joined by spaces.
std::string flattened(const std::string& list) {
  if (list.empty() || list[0] != '"') return list;
  std::string flat;
  std::size_t start = 0;
  while (start < list.size()) {
    const std::size_t end = list.find("\"\\\"", start);
    std::string item = list.substr(start, end == std::string::npos ? end : end - start);
    if (!item.empty() && item.front() == '"') item.erase(0, 1);
    if (!item.empty() && item.back() == '"') item.pop_back();
    if (!flat.empty()) flat += ' ';
    flat += item;
    if (end == std::string::npos) break;
    start = end + 2;
  }
  return flat;
}

std::string display_text(const entry_s& entry, const std::string& value) {
  for (const auto& [member, name] : entry.int_members) {
    if (member == entry.number) return name;
  }
  for (const auto& [member, name] : entry.text_members) {
    if (member == entry.text) return name;
  }
  return entry.kind == entry_s::LIST ? flattened(entry.text) : value;
}

std::string date_text(int seconds) {
  const std::time_t time = seconds;
  std::tm parts{};
  gmtime_r(&time, &parts);
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
  return text;
}

struct string_writer : pugi::xml_writer {
  std::string text;
  void write(const void* data, std::size_t size) override {
    text.append(static_cast<const char*>(data), size);
  }
};

// The value file of the entries, as a document built with pugixml and written in one go.
int save_with_pugixml(const save_s& state) {
  pugi::xml_document document;
  pugi::xml_node instruction = document.append_child(pugi::node_pi);
  instruction.set_name("xml-stylesheet");
  instruction.set_value(("type=\"text/xsl\" href=\"" + state.style_sheet + "\"").c_str());
  pugi::xml_node root = document.append_child("PrefValues");
  root.append_attribute("defaultLockStatus") = state.locked_by_default ? "locked" : "unlocked";
  root.append_child(pugi::node_pcdata).set_value("\n");
  for (const entry_s& entry : state.entries) {
    const std::string value = value_text(entry);
    pugi::xml_node pref = root.append_child("Pref");
    pref.append_attribute("Application") = entry.application.c_str();
    pref.append_attribute("Category") = entry.category.c_str();
    pref.append_attribute("Tab") = entry.tab.c_str();
    pref.append_attribute("title") =
        (entry.group.empty() ? entry.title : entry.group + " - " + entry.title).c_str();
    pref.append_attribute("displayValue") = display_text(entry, value).c_str();
    pref.append_attribute("name") = entry.name.c_str();
    pref.append_attribute("value") = value.c_str();
    if (entry.locked) pref.append_attribute("locked") = "yes";
    pref.append_attribute("modified") = date_text(entry.modified).c_str();
    if (entry.has_comment) {
      pref.append_child("UserComment")
          .append_child(pugi::node_pcdata)
          .set_value(entry.comment.c_str());
    }
    root.append_child(pugi::node_pcdata).set_value("\n");
  }
  string_writer writer;
  writer.text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  for (pugi::xml_node child = document.first_child(); child; child = child.next_sibling()) {
    child.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
    writer.text += '\n';
  }
  return CFI_replace_file(state.baseline_file.c_str(), writer.text.data(), writer.text.size());
}

std::string file_contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// ---- benchmarks ---------------------------------------------------------------------------

void BM_VERU__save_values_xml(benchmark::State& state) {
  const long long lines_before = save.log_lines;
  for (auto _ : state) VERU__save_values_xml(LEVEL);
  if (save.log_lines != lines_before) {
    state.SkipWithError(("the save logged: " + save.last_log).c_str());
  }
  state.counters["values"] = static_cast<double>(save.entries.size());
}

void BM_pugixml_build_and_replace_file(benchmark::State& state) {
  for (auto _ : state) {
    if (save_with_pugixml(save) != 0) {
      state.SkipWithError("CFI_replace_file failed");
      break;
    }
  }
  state.counters["values"] = static_cast<double>(save.entries.size());
}

void BM_replace_file_only(benchmark::State& state) {
  const std::string contents = file_contents(save.library_file);
  for (auto _ : state) {
    if (CFI_replace_file(save.baseline_file.c_str(), contents.data(), contents.size()) != 0) {
      state.SkipWithError("CFI_replace_file failed");
      break;
    }
  }
  state.counters["bytes"] = static_cast<double>(contents.size());
}

void summarise(const kvrn_bench::recording_reporter& times) {
  using kvrn_bench::summary;
  const double library = times.real("BM_VERU__save_values_xml");
  const double baseline = times.real("BM_pugixml_build_and_replace_file");
  const double write_only = times.real("BM_replace_file_only");
  const double library_cpu = times.cpu("BM_VERU__save_values_xml");
  const double baseline_cpu = times.cpu("BM_pugixml_build_and_replace_file");
  const double write_only_cpu = times.cpu("BM_replace_file_only");
  summary(format("Saving the user level, %zu values (median of repetitions; elapsed time, and in",
                 save.entries.size()));
  summary("brackets processor time, which leaves out the wait for the disk):");
  summary(format("%-40s %18s %16s", "", "ms/save", "ratio"));
  if (library > 0) {
    summary(
        format("%-40s %8.2f (%7.2f)", "VERU__save_values_xml", library * 1e3, library_cpu * 1e3));
  }
  if (baseline > 0) {
    summary(format("%-40s %8.2f (%7.2f) %7.2f (%6.2f)", "  pugixml build + CFI_replace_file",
                   baseline * 1e3, baseline_cpu * 1e3, library > 0 ? library / baseline : 0.0,
                   library_cpu > 0 ? library_cpu / baseline_cpu : 0.0));
  }
  if (write_only > 0) {
    summary(format("%-40s %8.2f (%7.2f)", "  CFI_replace_file alone (info)", write_only * 1e3,
                   write_only_cpu * 1e3));
  }
  const std::string written = file_contents(save.library_file);
  save_with_pugixml(save);
  const std::string rebuilt = file_contents(save.baseline_file);
  if (written == rebuilt) {
    summary(format("The two documents are identical (%zu bytes).", written.size()));
  } else {
    std::size_t at = 0;
    while (at < written.size() && at < rebuilt.size() && written[at] == rebuilt[at]) ++at;
    summary(format("The documents differ (%zu and %zu bytes) from byte %zu: \"%.60s\" / \"%.60s\"",
                   written.size(), rebuilt.size(), at, written.c_str() + at, rebuilt.c_str() + at));
  }
  if (library > 0 && baseline > 0) {
    kvrn_bench::target(
        format("save 5,000 values / pugixml build + same write (processor time %.2fx)",
               library_cpu / baseline_cpu),
        library / baseline, 1.5, "x");
  }
}

// Starts the module on the installation with its user file copied into a directory of our own,
// which the saves then replace.
void start_module() {
  const std::string installation = kvrn_bench::installation(PREFERENCES);
  const std::string user = kvrn_bench::temporary_directory("user");
  std::filesystem::create_directories(user + "/startup");
  std::filesystem::copy_file(installation + "/user/startup/kvrn1_user.dpv",
                             user + "/startup/kvrn1_user.dpv");
  kvrn_bench::set_installation_environment(installation, user);
  ERROR_set_log_sink(keep_log, &save);
  VERU_init_module();
  save.library_file = VERU__ask_level_filename(LEVEL);
  save.baseline_file = user + "/startup/baseline_user.dpv";
  save.style_sheet = "kvrn1_user.xsl";
  save.locked_by_default = VERU_is_level_locked_by_default(LEVEL);
  OM_for_all_in_set(VERU__ask_module_root()->ask_pref_set(), collect, &save.entries);
  save.log_lines = 0;
}

}  // namespace

int main(int argc, char** argv) {
  kvrn_bench::parse_options(&argc, &argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  try {
    start_module();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "save_benchmark: %s\n", error.what());
    return 1;
  }
  if (save.entries.empty() || !VERU__is_level_defined(LEVEL)) {
    std::fprintf(stderr, "save_benchmark: the user level holds no values\n");
    return 1;
  }
  const std::pair<const char*, void (*)(benchmark::State&)> benchmarks[] = {
      {"BM_pugixml_build_and_replace_file", BM_pugixml_build_and_replace_file},
      {"BM_VERU__save_values_xml", BM_VERU__save_values_xml},
      {"BM_replace_file_only", BM_replace_file_only},
  };
  for (const auto& [name, function] : benchmarks) {
    benchmark::RegisterBenchmark(name, function)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(0.2)
        ->MinWarmUpTime(0.05)
        ->Repetitions(5)
        ->DisplayAggregatesOnly(true)
        ->UseRealTime();
  }
  kvrn_bench::recording_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  summarise(reporter);
  kvrn_bench::print_summary();
  benchmark::Shutdown();
  return 0;
}
