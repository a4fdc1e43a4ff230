// kvrn-prefs validate: checks definition files with the library's validation classes. It does
// not start the preferences module, so it also serves files that would stop the start.
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "json.h"
#include "tool.h"

namespace {

constexpr int EXIT_FINDINGS = 1;

struct finding_s {
  std::string file;
  int code;
  std::string text;
};

// An object of the object manager deleted when its holder goes.
struct om_deleter {
  void operator()(OM_object* object) const { OM_delete_object(object); }
};
template <class T>
using om_owned = std::unique_ptr<T, om_deleter>;

// The installation's definition files as start-up finds them; raises when one is missing.
std::vector<std::string> installation_files() {
  char** paths = nullptr;
  const int count = VERU_ask_dpx_files(&paths);
  return taken(paths, count);
}

// A document of the XML service, released when it goes.
class document {
 public:
  document() {
    int error = KVXML_init();
    if (error == 0) context_ = pvtbl_kvxml->XERCES_DOM_create(&error, "UTF-8", 0);
    if (error != 0 || !context_)
      ERROR_raise(__FILE__, __LINE__, VERU_ERROR_XML_INIT, "Unable to initialize DOM");
  }
  ~document() { pvtbl_kvxml->XERCES_DOM_release(context_); }
  document(const document&) = delete;
  document& operator=(const document&) = delete;
  XERCES_DOM_ctx* context() const { return context_; }

 private:
  XERCES_DOM_ctx* context_ = nullptr;
};

// The preferences' names and their former names (formerly="Old;Older") across the files.
struct pref_names_s {
  std::set<std::string> current;
  struct former_s {
    std::string old_name;
    std::string name;
    std::string file;
  };
  std::vector<former_s> former;
};

// Collects the names of the Pref elements under element, walking the tree without recursion.
void collect_pref_names(XERCES_DOM_node* element, const std::string& path, pref_names_s* names) {
  std::vector<XERCES_DOM_node*> waiting{element};
  while (!waiting.empty()) {
    XERCES_DOM_node* node = waiting.back();
    waiting.pop_back();
    const char* tag = nullptr;
    for (XERCES_DOM_node* child = pvtbl_kvxml->XERCES_DOM_getNextElement(node, nullptr, &tag);
         child; child = pvtbl_kvxml->XERCES_DOM_getNextElement(node, child, &tag)) {
      if (std::strcmp(tag, "Pref") != 0) {
        waiting.push_back(child);
        continue;
      }
      const char* name = pvtbl_kvxml->XERCES_DOM_getAttribute(child, "name");
      if (!name) continue;
      names->current.insert(name);
      const char* formerly = pvtbl_kvxml->XERCES_DOM_getAttribute(child, "formerly");
      std::string old;
      for (const char* c = formerly ? formerly : "";; ++c) {
        if (*c && *c != ';') {
          if (*c != ' ') old += *c;
          continue;
        }
        if (!old.empty()) names->former.push_back({old, name, path});
        old.clear();
        if (!*c) break;
      }
    }
  }
}

// A former name that is a preference's name too: entries under it would not be read as renamed.
void report_former_names(const pref_names_s& names, VERU_validate_result* result) {
  for (const auto& [old, pref, file] : names.former) {
    if (!names.current.count(old)) continue;
    const std::string text = pref + " was formerly " + old +
                             ", which is also the name of a preference: entries under it are "
                             "read as " +
                             old + ", not as " + pref;
    result->add_result(file.c_str(), VERU_ERROR_DUPLICATE_PREF_NAME, text.c_str());
  }
}

// Walks one file with root; a file that cannot be read or parsed, or has no root element, is
// recorded with VERU_ERROR_NO_ROOT_ELEMENT and the parser's message.
void validate_file(const std::string& path, VERU_validate_root* root, VERU_validate_result* result,
                   pref_names_s* names) {
  const document parsed;
  if (pvtbl_kvxml->XERCES_DOM_parseFile(parsed.context(), path.c_str(), "utf-8", 2) != 0) {
    result->add_result(path.c_str(), VERU_ERROR_NO_ROOT_ELEMENT,
                       pvtbl_kvxml->XERCES_DOM_getErrorText(parsed.context()));
    return;
  }
  XERCES_DOM_node* element = pvtbl_kvxml->XERCES_DOM_getDocumentElement(
      pvtbl_kvxml->XERCES_DOM_getDocument(parsed.context()));
  if (!element) {
    result->add_result(path.c_str(), VERU_ERROR_NO_ROOT_ELEMENT, "the file has no root element");
    return;
  }
  root->set_dom_node_and_filename(element, path.c_str());
  root->do_validate_dom_node(result);
  root->set_dom_node_and_filename(nullptr, path.c_str());
  collect_pref_names(element, path, names);
}

// One validation run over all files, with one root, so that names are compared across files.
std::vector<finding_s> validate_files(const std::vector<std::string>& files) {
  VERU_VALIDATE_init_schema();
  om_owned<VERU_validate_root> root(
      static_cast<VERU_validate_root*>(OM_create_object(VERU_validate_root_c)));
  om_owned<VERU_validate_result> result(
      static_cast<VERU_validate_result*>(OM_create_object(VERU_validate_result_c)));
  pref_names_s names;
  for (const std::string& file : files) validate_file(file, root.get(), result.get(), &names);
  root->report_duplicate_names(result.get());
  report_former_names(names, result.get());

  std::vector<finding_s> findings;
  for (int i = 0; i < result->ask_n_results(); ++i) {
    const char* file = nullptr;
    const char* text = nullptr;
    const int code = result->ask_result(i, &file, &text);
    findings.push_back({file ? file : "", code, text ? text : ""});
  }
  return findings;
}

std::string message_of(int code) {
  const char* message = ERROR_decode(code);
  return message ? message : "";
}

void print_lines(const std::vector<finding_s>& findings) {
  for (const finding_s& finding : findings) {
    std::printf("%s: %d %s: %s\n", one_line(finding.file).c_str(), finding.code,
                one_line(message_of(finding.code)).c_str(), one_line(finding.text).c_str());
  }
}

void print_json(const std::vector<finding_s>& findings) {
  json_document objects = json_document::array();
  for (const finding_s& finding : findings) {
    objects.push_back({{"file", finding.file},
                       {"code", finding.code},
                       {"message", message_of(finding.code)},
                       {"text", finding.text}});
  }
  print_json_document(objects, true);
}

}  // namespace

int run_validate(const command_line_s& line) {
  VERU_init_errors();
  std::vector<std::string> files = line.arguments;
  try {
    if (files.empty()) files = installation_files();
  } catch (const TQS::Error::Exception& error) {
    return refuse(EXIT_REFUSED,
                  std::string("cannot find the definition files: ") + error.what() +
                      "\n  check --base (KVRN_BASE_DIR) or name the files to validate");
  }
  std::vector<finding_s> findings;
  try {
    findings = validate_files(files);
  } catch (const TQS::Error::Exception& error) {
    return refuse(EXIT_REFUSED,
                  std::string(error.what()) + " (error " + std::to_string(error.askCode()) + ")");
  }
  if (line.json) {
    print_json(findings);
  } else {
    print_lines(findings);
  }
  std::fprintf(stderr, "kvrn-prefs: %zu file%s validated, %zu finding%s\n", files.size(),
               files.size() == 1 ? "" : "s", findings.size(), findings.size() == 1 ? "" : "s");
  return findings.empty() ? EXIT_OK : EXIT_FINDINGS;
}
