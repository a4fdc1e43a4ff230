// Starts from compiled images against starts from XML: over generated installations with broken
// entries and files, a start that writes images, one that reads them, and one after a file
// changed in place (same size, same modification time) give what a host sees identically; and
// images that are damaged, foreign or in a folder others may write are ignored.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "installation.h"

namespace {

// ---- generated installations ---------------------------------------------------------------

const char* const TYPES[] = {"int", "real", "logical", "string", "string_list"};

// A value of the type; now and then one that is not.
std::string value_of(const std::string& type, std::mt19937& random) {
  const int pick = static_cast<int>(random() % 10);
  if (pick == 0) return "not a value &amp; &lt;b&gt;";
  if (type == "int") return std::to_string(static_cast<int>(random() % 200) - 20);
  if (type == "real") return std::to_string(static_cast<int>(random() % 100)) + ".5";
  if (type == "logical") return pick % 2 ? "true" : "FALSE";
  return "text " + std::to_string(random() % 7) + (pick == 1 ? " \xC3\xA9t\xC3\xA9" : "");
}

struct generated_s {
  std::vector<std::string> names;
  std::vector<std::string> types;
};

std::string generate_pref(const std::string& name, const std::string& type, std::mt19937& random) {
  std::string text = "<Pref name=\"" + name + "\" type=\"" + type + "\" value=\"" +
                     value_of(type, random) + "\" title=\"Title of " + name + "\"" +
                     (random() % 3 == 0 ? " unit=\"mm\" ver=\"2\" scope=\"Part\"" : "") +
                     (random() % 4 == 0 ? " restart=\"yes\"" : "") + ">";
  if (type == "int" && random() % 2) {
    text +=
        "<Data type=\"range\"><LowerBound value=\"0\" include=\"1\" name=\"none\"/>"
        "<UpperBound value=\"120\" include=\"0\"/></Data>";
  } else if (type == "string" && random() % 2) {
    text +=
        "<Data type=\"enum\"><EnumElem name=\"One\" value=\"text 1\" bitmap=\"b1\"/>"
        "<EnumElem name=\"Two\" value=\"text 2\"/></Data>";
  }
  switch (random() % 4) {
    case 0:
      text += "<Toggle off=\"false\"/>";
      break;
    case 1:
      text += "<OptionMenu columns=\"2\"><Item label=\"a &amp; b\"/> <Item/></OptionMenu>";
      break;
    case 2:
      text += "<Color/>";
      break;
    default:
      text += "<Integer/>";
  }
  text += "<Description>About <b>" + name + "</b> <![CDATA[and <more>]]></Description></Pref>\n";
  return text;
}

// Definition files with a few hundred preferences of every type, constraints, widgets with
// children, labels, duplicate names and defaults that are no values; an extras file that adds a
// category and changes defaults.
generated_s generate_definitions(const Installation& installation, std::mt19937& random) {
  generated_s made;
  const std::vector<std::string>& files = Installation::definition_files();
  for (std::size_t file = 0; file < 4; ++file) {
    std::string body = "<Application name=\"App" + std::to_string(file) + "\" csh=\"app" +
                       std::to_string(file) +
                       "\">\n<Category name=\"Cat\" csh=\"c\"><Tab name=\"T\">" +
                       "<Label text=\"see &quot;help&quot;\"/><Separator/>\n";
    for (int i = 0; i < 60; ++i) {
      const bool duplicate = i > 0 && random() % 25 == 0;
      const std::string name = duplicate ? made.names[random() % made.names.size()]
                                         : "P" + std::to_string(file) + "_" + std::to_string(i);
      const std::string type = TYPES[random() % 5];
      if (i % 20 == 10) body += "<Group name=\"G\"><Image src=\"x.png\"/>";
      body += generate_pref(name, type, random);
      if (i % 20 == 15) body += "</Group>";
      if (!duplicate) {
        made.names.push_back(name);
        made.types.push_back(type);
      }
    }
    body += "</Tab></Category></Application>\n";
    installation.define(files[file], definitions(body));
  }
  std::string extras =
      "<Application name=\"App0\" csh=\"app0\"><Category name=\"More\">"
      "<Tab name=\"X\">" +
      generate_pref("Extra_One", "int", random) + "</Tab></Category></Application>\n";
  for (int i = 0; i < 8; ++i) {
    const std::size_t pick = random() % made.names.size();
    extras += "<PrefValue name=\"" + made.names[pick] + "\" value=\"" +
              value_of(made.types[pick], random) +
              "\" ver=\"3\"><Description>changed</Description>" + "</PrefValue>\n";
  }
  installation.define(files.back(), definitions(extras));
  return made;
}

// A value file of the level: valid entries, locks, dates good and bad, comments of entries and
// of the file, unknown names and attributes (of entries and of the root), values that are
// refused; sometimes not PrefValues, sometimes not XML.
std::string generate_values(const generated_s& made, int level, std::mt19937& random) {
  const int shape = static_cast<int>(random() % 12);
  if (shape == 0) return "<PrefValues><Pref name=\"broken\"</PrefValues>\n";
  if (shape == 1) return definitions("");
  std::string entries;
  for (int i = 0; i < 40; ++i) {
    const bool unknown = random() % 15 == 0;
    const std::size_t pick = random() % made.names.size();
    const std::string name = unknown ? "Gone_" + std::to_string(i) : made.names[pick];
    std::string extra;
    if (random() % 4 == 0) extra += "locked=\"yes\" ";
    if (random() % 3 == 0) {
      extra += random() % 5 ? "modified=\"2024-0" + std::to_string(1 + level) + "-02T03:04:05Z\" "
                            : "modified=\"yesterday\" ";
    }
    if (random() % 6 == 0) extra += "futureAttribute=\"kept\" ";
    const std::string value = value_of(unknown ? "int" : made.types[pick], random);
    if (random() % 7 == 0) entries += "<!-- a note before " + name + " -->\n";
    if (random() % 5 == 0) {
      entries += "<Pref name=\"" + name + "\" value=\"" + value + "\" " + extra +
                 "><UserComment>set by " + std::to_string(level) +
                 "</UserComment>"
                 "<Future> </Future></Pref>\n";
    } else {
      entries += entry(name, value, extra);
    }
  }
  if (random() % 3 == 0) entries += "<!-- the last word -->\n";
  std::string file = values(entries, random() % 8 == 0 ? "locked" : "unlocked");
  // An attribute of the root that the library does not read, kept for the next save.
  if (random() % 4 == 0) file.replace(file.find("<PrefValues") + 11, 0, " owner=\"ops\"");
  return file;
}

void generate_installation(const Installation& installation, unsigned seed) {
  std::mt19937 random(seed);
  const generated_s made = generate_definitions(installation, random);
  for (int level = 1; level <= 3; ++level) {
    if (random() % 7 != 0) installation.write_values(level, generate_values(made, level, random));
  }
}

// ---- what a host sees of a start -----------------------------------------------------------

std::string observed;

void log_line(const char* text, void*) {
  observed += "log: ";
  observed += text;
}

OM_object* create_object(OM_object* owner, XERCES_DOM_node* element) {
  std::size_t size = 0;
  observed += "create " + std::string(owner ? static_cast<VERU_pref*>(owner)->ask_name() : "-") +
              " " + taken(pvtbl_kvxml->XERCES_DOM_writeNodeText(element, &size)) + "\n";
  return nullptr;
}

int report(int level, int flag) {
  observed += "report " + std::to_string(level) + " " + std::to_string(flag) + "\n";
  return 0;
}

std::string text(const char* value) {
  return value ? "\"" + std::string(value) + "\"" : "null";
}

bool describe_node(const VERU_tree_node_s* node, void*) {
  observed += "tree " + std::to_string(node->kind) + " " + std::to_string(node->depth) + " " +
              text(node->name) + "\n";
  if (!node->pref) return true;
  for (int level = 0; level <= 3; ++level) {
    VERU_pref_view_s* view = nullptr;
    if (VERU_describe_pref(node->name, level, &view) != 0) continue;
    observed +=
        " " + text(view->type) + text(view->title) + text(view->description) + text(view->unit) +
        text(view->group) + std::to_string(view->widget) + text(view->toggle_off) +
        std::to_string(view->constraint) + std::to_string(view->member_count) +
        text(view->range_text) + text(view->default_value) + text(view->effective_value) +
        std::to_string(view->source) + text(view->query_value) + std::to_string(view->lock_level) +
        text(view->lock_comment) + std::to_string(view->restart) + "\n";
    for (const VERU_view_level_s& at : view->levels) {
      // An entry without a date is dated by its load.
      const bool now = at.modified >= time(nullptr) - 10;
      observed += "  " + std::to_string(at.has_entry) + text(at.value) + std::to_string(at.locks) +
                  std::to_string(at.locked_by_default) +
                  (now ? std::string("now") : std::to_string(at.modified)) + text(at.comment) +
                  std::to_string(at.carried) + "\n";
    }
    VERU_free_pref_view(view);
  }
  return true;
}

// The saved text's lines in sorted order (a save writes entries in the order of a set, which
// the start does not decide), with the dates that a save gives entries without one (the time of
// the save) written as "now".
std::string saved_lines(std::string saved) {
  const time_t now = time(nullptr);
  for (time_t at = now - 10; at <= now; ++at) {
    char date[32];
    tm parts{};
    gmtime_r(&at, &parts);
    strftime(date, sizeof date, "\"%Y-%m-%dT%H:%M:%SZ\"", &parts);
    for (std::size_t found; (found = saved.find(date)) != std::string::npos;) {
      saved.replace(found, std::strlen(date), "\"now\"");
    }
  }
  std::vector<std::string> lines;
  std::istringstream stream(saved);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  std::string sorted;
  for (const std::string& line : lines) sorted += line + "\n";
  return sorted;
}

// Everything a host sees of a start on the installation, in order: log lines, hook calls, the
// tree, every preference at every level, the levels' load states and carried entries, and the
// bytes that saving each level writes. Runs in a process of its own, with images on or off; the
// value files are as they were afterwards.
std::string observe_start(const Installation& installation, bool images) {
  std::vector<std::string> files;
  for (int level = 1; level <= 3; ++level) {
    files.push_back(file_exists(installation.value_file(level))
                        ? read_file(installation.value_file(level))
                        : std::string("\x01"));
  }
  int out[2];
  EXPECT_EQ(pipe(out), 0);
  const pid_t child = fork();
  if (child == 0) {
    close(out[0]);
    installation.use_environment();
    if (!images) setenv("KVRN_CACHE", "off", 1);
    ERROR_set_log_sink(log_line, nullptr);
    static const REG_VERU_data_s hooks = {create_object, nullptr, report};
    REG_VERU_register(&hooks);
    VERU_init_module();
    VERU_walk_pref_tree(describe_node, nullptr);
    for (int level = 1; level <= 3; ++level) {
      char* reason = nullptr;
      observed += "level " + std::to_string(VERU_ask_level_load_state(level, &reason)) + " " +
                  taken(reason) + "\n";
      char** names = nullptr;
      const int count = VERU_ask_level_carried_entries(level, &names);
      for (const std::string& name : taken(names, count)) observed += " carried " + name;
      for (int i = 0; i < count; ++i) {
        int position = 0;
        const int code = VERU_ask_level_carried_entry(level, i, &position, &reason);
        observed += " " + std::to_string(code) + "@" + std::to_string(position) + " " +
                    taken(reason) + "\n";
      }
      if (VERU_save_level(level, &reason) == 0 && file_exists(installation.value_file(level))) {
        observed += "saved " + saved_lines(read_file(installation.value_file(level)));
      }
      SM_free(reason);
    }
    const char* bytes = observed.data();
    std::size_t left = observed.size();
    while (left > 0) {
      const ssize_t done = write(out[1], bytes, left);
      if (done <= 0) _exit(1);
      bytes += done;
      left -= static_cast<std::size_t>(done);
    }
    _exit(0);
  }
  close(out[1]);
  std::string result;
  char chunk[65536];
  for (ssize_t got; (got = read(out[0], chunk, sizeof chunk)) > 0;) result.append(chunk, got);
  close(out[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the start failed";
  for (int level = 1; level <= 3; ++level) {
    if (files[level - 1] == "\x01") {
      std::remove(installation.value_file(level).c_str());
    } else {
      write_file(installation.value_file(level), files[level - 1]);
    }
  }
  return result;
}

// Changes the first from of the file to to in place, keeping its size and modification time;
// nothing when the file holds no from.
void change_in_place(const std::string& path, const std::string& from, const std::string& to) {
  struct stat before {};
  if (stat(path.c_str(), &before) != 0) return;
  std::string content = read_file(path);
  const std::size_t at = content.find(from);
  if (at == std::string::npos) return;
  ASSERT_EQ(from.size(), to.size());
  content.replace(at, from.size(), to);
  const int fd = open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(pwrite(fd, content.data(), content.size(), 0), static_cast<ssize_t>(content.size()));
  const timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(futimens(fd, times), 0);
  close(fd);
}

std::string cache_folder(const Installation& installation) {
  return installation.path("cache/vuzodod");
}

// One image for the definitions and one for each value file.
std::size_t images_expected(const Installation& installation) {
  std::size_t count = 1;
  for (int level = 1; level <= 3; ++level) count += file_exists(installation.value_file(level));
  return count;
}

std::vector<std::string> images_of(const Installation& installation) {
  std::vector<std::string> images;
  if (!file_exists(cache_folder(installation))) return images;
  for (const std::string& name : directory_entries(cache_folder(installation))) {
    if (name[0] != '.') images.push_back(cache_folder(installation) + "/" + name);
  }
  return images;
}

// ---- the tests -----------------------------------------------------------------------------

class StartImage : public testing::TestWithParam<unsigned> {};

TEST_P(StartImage, GivesWhatAnXmlStartGives) {
  Installation installation;
  generate_installation(installation, GetParam());
  const std::string from_xml = observe_start(installation, false);
  for (const char* seen : {"log: ", "create ", "carried ", "saved ", "tree "}) {
    EXPECT_NE(from_xml.find(seen), std::string::npos) << "the installation gives no " << seen;
  }
  EXPECT_TRUE(images_of(installation).empty()) << "KVRN_CACHE=off writes no image";
  EXPECT_EQ(observe_start(installation, true), from_xml) << "the start that writes images";
  ASSERT_FALSE(images_of(installation).empty());
  EXPECT_EQ(observe_start(installation, true), from_xml) << "the start from images";

  // Changed in place, the same size and date: the images of the old bytes serve no longer.
  const std::string& first = Installation::definition_files().front();
  change_in_place(installation.kvrn_dir() + "/" + first, "Title of", "Title Of");
  change_in_place(installation.value_file(3), "set by 3", "set by 9");
  const std::string changed = observe_start(installation, false);
  EXPECT_NE(changed, from_xml);
  EXPECT_EQ(observe_start(installation, true), changed);
  EXPECT_EQ(observe_start(installation, true), changed);
}

INSTANTIATE_TEST_SUITE_P(Seeds, StartImage, testing::Values(1u, 2u, 3u, 4u));

// What is done to the images, or their folder, between a start that wrote them and the next.
struct damage_s {
  const char* name;
  void (*apply)(const std::string& image, const std::string& folder);
  bool replaced;  // the next start writes the image anew
};

void rewrite(const std::string& image, const std::function<void(std::string&)>& change) {
  std::string bytes = read_file(image);
  change(bytes);
  write_file(image, bytes);
  chmod(image.c_str(), 0600);
}

const damage_s DAMAGES[] = {
    {"truncated",
     [](const std::string& image, const std::string&) {
       ASSERT_EQ(truncate(image.c_str(), 100), 0);
     },
     true},
    {"bit_flipped_in_texts",
     [](const std::string& image, const std::string&) {
       rewrite(image, [](std::string& bytes) { bytes[bytes.size() - 3] ^= 0x10; });
     },
     true},
    {"bit_flipped_in_header",
     [](const std::string& image, const std::string&) {
       rewrite(image, [](std::string& bytes) { bytes[60] ^= 0x01; });
     },
     true},
    {"of_another_format",
     [](const std::string& image, const std::string&) {
       rewrite(image, [](std::string& bytes) { bytes[8] ^= 0x40; });
     },
     true},
    {"writeable_by_others",
     [](const std::string& image, const std::string&) { chmod(image.c_str(), 0666); }, true},
    {"owned_by_another_user",
     [](const std::string& image, const std::string&) {
       ASSERT_EQ(chown(image.c_str(), 65534, 65534), 0);
     },
     true},
    {"in_a_folder_others_may_write",
     [](const std::string&, const std::string& folder) { chmod(folder.c_str(), 0777); }, false},
};

class DamagedImage : public testing::TestWithParam<damage_s> {};

TEST_P(DamagedImage, IsIgnoredAndNothingDiffers) {
  if (std::string(GetParam().name) == "owned_by_another_user" && !can_give_files_away()) {
    GTEST_SKIP() << "giving a file to another user needs root";
  }
  Installation installation;
  generate_installation(installation, 7);
  const std::string from_xml = observe_start(installation, false);
  ASSERT_EQ(observe_start(installation, true), from_xml);
  const std::vector<std::string> images = images_of(installation);
  ASSERT_EQ(images.size(), images_expected(installation));
  std::vector<std::string> good;
  for (const std::string& image : images) {
    good.push_back(read_file(image));
    GetParam().apply(image, cache_folder(installation));
  }
  EXPECT_EQ(observe_start(installation, true), from_xml);
  if (GetParam().replaced) {
    for (std::size_t i = 0; i < images.size(); ++i) {
      EXPECT_EQ(read_file(images[i]), good[i]) << images[i] << " is written anew";
      struct stat status {};
      ASSERT_EQ(stat(images[i].c_str(), &status), 0);
      EXPECT_EQ(status.st_uid, geteuid());
      EXPECT_EQ(status.st_mode & 0777, 0600u);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Damages, DamagedImage, testing::ValuesIn(DAMAGES),
                         [](const testing::TestParamInfo<damage_s>& param_info) {
                           return std::string(param_info.param.name);
                         });

TEST(StartImageWriters, TwoAtOnceLeaveOneWholeImageOfEach) {
  Installation installation;
  generate_installation(installation, 11);
  const std::string from_xml = observe_start(installation, false);
  const pid_t other = fork();
  if (other == 0) {
    installation.use_environment();
    ERROR_set_log_sink([](const char*, void*) {}, nullptr);
    VERU_init_module();
    _exit(0);
  }
  EXPECT_EQ(observe_start(installation, true), from_xml);
  int status = 0;
  waitpid(other, &status, 0);
  EXPECT_EQ(images_of(installation).size(), images_expected(installation));
  EXPECT_EQ(observe_start(installation, true), from_xml);
}

}  // namespace

namespace {

// The images of one kind in the cache folder: those whose name has "-<role>-" after the
// installation's part.
std::size_t images_of_role(const Installation& installation, int role) {
  const std::string marker = "-" + std::to_string(role) + "-";
  std::size_t count = 0;
  for (const std::string& image : images_of(installation)) {
    if (image.find(marker, cache_folder(installation).size() + 1) != std::string::npos) ++count;
  }
  return count;
}

TEST(StartImageFolder, KeepsTheFourLatestOfEachKind) {
  Installation installation;
  generate_installation(installation, 5);
  for (int version = 0; version < 7; ++version) {
    installation.write_values(
        3, values(entry("Gone_" + std::to_string(version), std::to_string(version), "")));
    const std::string from_xml = observe_start(installation, false);
    EXPECT_EQ(observe_start(installation, true), from_xml);
    EXPECT_EQ(observe_start(installation, true), from_xml);
  }
  EXPECT_EQ(images_of_role(installation, 3), 4u);
  EXPECT_EQ(images_of_role(installation, 0), 1u);
}

TEST(StartImageFolder, ThatCannotBeMadeCostsOnlyTheImages) {
  Installation installation;
  generate_installation(installation, 6);
  const std::string from_xml = observe_start(installation, false);
  // A file where the folder should be: no image can be written or read.
  make_directories(installation.path("cache"));
  write_file(cache_folder(installation), "not a folder");
  EXPECT_EQ(observe_start(installation, true), from_xml);
  EXPECT_EQ(read_file(cache_folder(installation)), "not a folder");
}

}  // namespace
