// Synthetic installations: applications with categories, tabs and groups; preferences of every
// type with constraints, widgets, units and descriptions; value files for three levels.
#include "generate_installation.h"

#include <sys/stat.h>
#include <veru.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

namespace kvrn_bench {

const char* definition_file(int index) {
  int count = 0;
  const char* const* names = VERU__ask_dpx_file_names(&count);
  if (count != DEFINITION_FILE_COUNT || index < 0 || index >= count) {
    throw std::logic_error("the library has " + std::to_string(count) +
                           " definition files, not the generator's " +
                           std::to_string(DEFINITION_FILE_COUNT));
  }
  return names[index];
}

const char* const VALUE_FILES[VALUE_FILE_COUNT] = {
    "site/startup/kvrn1_site.dpv",
    "group/startup/kvrn1_group.dpv",
    "user/startup/kvrn1_user.dpv",
};

namespace {

// ---- randomness ---------------------------------------------------------------------------

// splitmix64: small, and the same sequence on every platform and standard library, which the
// standard distributions do not promise.
class random_s {
 public:
  explicit random_s(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  int below(int n) { return n <= 1 ? 0 : static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
  int between(int low, int high) { return low + below(high - low + 1); }
  bool chance(double p) { return static_cast<double>(next() >> 11) * 0x1.0p-53 < p; }
  template <class T, std::size_t N>
  const T& pick(const T (&items)[N]) {
    return items[below(static_cast<int>(N))];
  }
  template <class T>
  const T& pick(const std::vector<T>& items) {
    return items[below(static_cast<int>(items.size()))];
  }

 private:
  std::uint64_t state_;
};

// ---- vocabulary ---------------------------------------------------------------------------

struct application_s {
  const char* title;
  const char* prefix;  // first part of the names of its preferences
  int weight;          // share of the preferences
};

// In the order of the definition files; the big applications have the most preferences.
const application_s APPLICATIONS[DEFINITION_FILE_COUNT - 1] = {
    {"Gateway", "Gateway", 5},     {"Modeling", "Modeling", 12},
    {"Sketcher", "Sketch", 5},     {"Drafting", "Drafting", 11},
    {"Assemblies", "Assy", 7},     {"Sheet Metal", "SheetMetal", 4},
    {"Surfacing", "Surface", 4},   {"Routing", "Routing", 3},
    {"Manufacturing", "Mfg", 10},  {"Inspection", "Inspect", 3},
    {"Simulation", "Sim", 6},      {"Motion", "Motion", 2},
    {"Analysis", "Analysis", 3},   {"Visualization", "Vis", 5},
    {"Rendering", "Render", 3},    {"Data Exchange", "DataExchange", 4},
    {"Translators", "Xlate", 6},   {"Knowledge", "Knowledge", 2},
    {"Validation", "Validate", 2}, {"PMI", "Pmi", 3},
    {"Tooling", "Tooling", 2},     {"Molding", "Mold", 2},
    {"Electrical", "Elec", 3},     {"Piping", "Piping", 2},
    {"Structures", "Struct", 2},   {"Collaboration", "Collab", 2},
};

const char* const CATEGORIES[] = {
    "General", "Display",     "Selection",  "Creation",  "Editing",   "Annotation",  "Dimensions",
    "Curves",  "Surfaces",    "Features",   "Colors",    "Layers",    "Views",       "Files",
    "Units",   "Tolerances",  "Materials",  "Export",    "Import",    "Performance", "Text",
    "Symbols", "Grid",        "Snapping",   "Lines",     "Naming",    "Navigator",   "Update",
    "Output",  "Printing",    "Tables",     "Templates", "Libraries", "Constraints", "Patterns",
    "Preview", "Measurement", "Validation", "Checking",  "History",   "Workflow",    "Appearance",
};

const char* const TABS[] = {
    "Basic",     "Advanced",     "Appearance", "Behavior",  "Precision", "Naming",
    "Colors",    "Line Styles",  "Update",     "Paths",     "Defaults",  "Limits",
    "Placement", "Text",         "Arrows",     "Leaders",   "Fonts",     "Scaling",
    "Highlight", "Filters",      "Visibility", "Graphics",  "Accuracy",  "Options",
    "Symbols",   "Tables",       "Labels",     "Templates", "Warnings",  "Layout",
    "Sections",  "Hidden Lines", "Edges",      "Faces",     "Points",    "Saving",
};

const char* const GROUPS[] = {
    "Placement",         "Appearance",   "Limits",    "Text",        "Arrows",
    "Leaders",           "Naming",       "Advanced",  "Performance", "Extension Lines",
    "Tolerance Display", "Origin",       "Direction", "Spacing",     "Highlighting",
    "Preselection",      "Labels",       "Fill",      "Borders",     "Sorting",
    "Refresh",           "Confirmation",
};

struct noun_s {
  const char* single;  // as in a title: "Dimension arrow size"
  const char* plural;  // as in a description: "... of dimensions ..."
};

const noun_s NOUNS[] = {
    {"Dimension", "dimensions"},
    {"Note", "notes"},
    {"Sketch", "sketches"},
    {"Feature", "features"},
    {"Face", "faces"},
    {"Edge", "edges"},
    {"Component", "components"},
    {"View", "views"},
    {"Section", "sections"},
    {"Hole", "holes"},
    {"Body", "bodies"},
    {"Label", "labels"},
    {"Grid", "grid lines"},
    {"Curve", "curves"},
    {"Surface", "surfaces"},
    {"Mesh", "meshes"},
    {"Weld", "weld seams"},
    {"Toolpath", "toolpaths"},
    {"Datum", "datum planes"},
    {"Balloon", "balloons"},
    {"Symbol", "symbols"},
    {"Table", "tables"},
    {"Layer", "layers"},
    {"Fixture", "fixtures"},
    {"Constraint", "constraints"},
    {"Pattern", "patterns"},
    {"Spline", "splines"},
    {"Point", "points"},
    {"Thread", "threads"},
    {"Chamfer", "chamfers"},
    {"Bend", "bends"},
    {"Flange", "flanges"},
    {"Pipe", "pipes"},
    {"Cable", "cables"},
    {"Beam", "beams"},
    {"Plate", "plates"},
    {"Markup", "markups"},
    {"Region", "regions"},
    {"Contour", "contours"},
    {"Probe", "probe points"},
    {"Leader", "leaders"},
    {"Hatch", "hatch patterns"},
};

const char* const CONTEXTS[] = {
    "in new drawings",
    "during selection",
    "when a part is opened",
    "in the graphics window",
    "in shaded views",
    "while dragging",
    "on export",
    "in the part navigator",
    "for new parts",
    "at start-up",
    "in section views",
    "when the model is updated",
    "in printed output",
    "in the information window",
    "for imported geometry",
    "in exploded views",
};

const char* const PARTICIPLES[] = {
    "drawn", "updated", "placed", "listed", "named", "shown", "highlighted", "checked",
};

const char* const FOLLOW_UPS[] = {
    "Changes apply to objects created afterwards; existing objects keep the settings they were "
    "made with until they are edited.",
    "A value of zero turns the behaviour off, which can help when a large model has to be "
    "opened quickly.",
    "The setting is stored with each part file and travels with it, so colleagues see the same "
    "result when they open the part.",
    "Larger values give smoother results but cost memory and time whenever the model is updated "
    "or redrawn.",
    "Most sites leave this at its default unless their drafting standard asks for something "
    "else.",
    "The drafting standard chosen for the site may override this choice when a new drawing is "
    "made from a template.",
    "This also affects the preview shown while the command is active, not only the finished "
    "objects.",
    "Use the site or group level to set this for everyone in a department and lock it there if "
    "it must not change.",
    "Very small values can make interactive work noticeably slower on large assemblies with many "
    "components.",
    "The value is ignored for objects that carry a setting of their own, which the object's "
    "properties dialog shows.",
    "See the administration guide for the effect of this setting on shared libraries and on "
    "files kept in the vault.",
    "The setting takes effect the next time the application is started; sessions already running "
    "keep the old value.",
    "Printing and plotting use the same setting, so what is on the screen is what comes out of "
    "the plotter.",
    "Turn this off when working with very large models over a slow network connection to the "
    "file server.",
    "When the setting is locked at the site level, the dialog shows it but does not let users "
    "change it.",
    "Drawings made with older versions keep the behaviour they were made with until they are "
    "updated.",
    "The same setting is used by the batch tools, so scripted runs give the same results as "
    "interactive work.",
    "If in doubt, keep the default and ask the CAD administrator of the site before changing "
    "it for a project.",
};

struct numeric_attribute_s {
  const char* words;
  const char* unit;
  double low;
  double high;
  double step;
};

const numeric_attribute_s REAL_ATTRIBUTES[] = {
    {"text height", "mm", 0.1, 100, 0.1},
    {"arrow size", "mm", 0.1, 50, 0.1},
    {"line width", "mm", 0.05, 5, 0.05},
    {"grid spacing", "mm", 0.01, 1000, 0.5},
    {"chord tolerance", "mm", 0.0001, 1, 0.0001},
    {"angle tolerance", "deg", 0.01, 45, 0.01},
    {"draft angle", "deg", 0, 89, 0.5},
    {"offset distance", "mm", -1000, 1000, 0.5},
    {"gap", "mm", 0, 100, 0.25},
    {"scale factor", "", 0.001, 1000, 0.25},
    {"margin", "mm", 0, 500, 1},
    {"step size", "mm", 0.001, 100, 0.05},
    {"radius", "mm", 0, 1000, 0.5},
    {"clearance", "mm", 0, 50, 0.1},
    {"thickness", "mm", 0.1, 200, 0.1},
    {"transparency", "%", 0, 100, 5},
    {"zoom factor", "", 1, 50, 0.5},
    {"rotation speed", "deg/s", 1, 720, 5},
    {"density", "kg/m3", 1, 25000, 10},
    {"timeout", "s", 0.5, 600, 0.5},
};

const numeric_attribute_s INT_ATTRIBUTES[] = {
    {"decimal places", "", 0, 12, 1},
    {"undo steps", "", 1, 1000, 1},
    {"refresh interval", "ms", 50, 60000, 50},
    {"sample count", "", 1, 4096, 1},
    {"history size", "", 0, 500, 1},
    {"maximum items", "", 1, 100000, 1},
    {"line density", "", 1, 64, 1},
    {"pick radius", "px", 1, 50, 1},
    {"autosave interval", "min", 1, 240, 1},
    {"tessellation level", "", 1, 10, 1},
    {"recent file count", "", 0, 50, 1},
    {"font size", "pt", 4, 72, 1},
    {"level of detail", "", 0, 8, 1},
    {"handle size", "px", 2, 32, 1},
};

struct choice_s {
  const char* name;
  const char* value;  // null: the enumeration numbers its members
};

struct enum_attribute_s {
  const char* words;
  std::vector<choice_s> choices;
};

const enum_attribute_s INT_ENUMS[] = {
    {"display mode",
     {{"Wireframe", nullptr},
      {"Shaded", nullptr},
      {"Shaded with edges", nullptr},
      {"Hidden line", nullptr},
      {"Static wireframe", nullptr}}},
    {"update method", {{"Immediate", nullptr}, {"On demand", nullptr}, {"Deferred", nullptr}}},
    {"placement",
     {{"Automatic", nullptr}, {"Manual", nullptr}, {"Centered", nullptr}, {"Aligned", nullptr}}},
    {"text alignment", {{"Left", nullptr}, {"Center", nullptr}, {"Right", nullptr}}},
    {"quality", {{"Draft", nullptr}, {"Normal", nullptr}, {"High", nullptr}, {"Highest", nullptr}}},
    {"sort order",
     {{"By name", nullptr},
      {"By date", nullptr},
      {"By type", nullptr},
      {"By size", nullptr},
      {"As created", nullptr}}},
    {"arrow style",
     {{"Filled", nullptr},
      {"Open", nullptr},
      {"Closed", nullptr},
      {"Dot", nullptr},
      {"Slash", nullptr},
      {"None", nullptr}}},
    {"line style",
     {{"Solid", nullptr},
      {"Dashed", nullptr},
      {"Dotted", nullptr},
      {"Center", nullptr},
      {"Phantom", nullptr},
      {"Hidden", nullptr}}},
    {"leader style", {{"Straight", nullptr}, {"Bent", nullptr}, {"Spline", nullptr}}},
    {"selection method",
     {{"Single", nullptr}, {"Box", nullptr}, {"Lasso", nullptr}, {"Chain", nullptr}}},
    {"projection", {{"First angle", nullptr}, {"Third angle", nullptr}}},
    {"shading model", {{"Flat", nullptr}, {"Smooth", nullptr}, {"Per pixel", nullptr}}},
    {"naming rule",
     {{"Sequential", nullptr}, {"Descriptive", nullptr}, {"From template", nullptr}}},
    {"conflict handling",
     {{"Ask", nullptr}, {"Keep existing", nullptr}, {"Replace", nullptr}, {"Rename", nullptr}}},
};

const enum_attribute_s STRING_ENUMS[] = {
    {"paper size",
     {{"ISO A4", "A4"},
      {"ISO A3", "A3"},
      {"ISO A2", "A2"},
      {"ISO A1", "A1"},
      {"ISO A0", "A0"},
      {"US Letter", "LETTER"},
      {"US Tabloid", "TABLOID"}}},
    {"file format",
     {{"Native part", "kvp"}, {"Neutral", "kvn"}, {"Step AP242", "stp242"}, {"Mesh", "stl"}}},
    {"dimension standard",
     {{"ISO", "ISO"}, {"ANSI", "ANSI"}, {"DIN", "DIN"}, {"JIS", "JIS"}, {"GB", "GB"}}},
    {"length unit",
     {{"Millimeters", "mm"},
      {"Centimeters", "cm"},
      {"Meters", "m"},
      {"Inches", "in"},
      {"Feet", "ft"}}},
    {"character set",
     {{"Unicode", "utf-8"}, {"Western European", "latin-1"}, {"Central European", "latin-2"}}},
};

struct text_attribute_s {
  const char* words;
  const char* widget;
  std::vector<const char*> values;
};

const text_attribute_s STRING_ATTRIBUTES[] = {
    {"name prefix", "String", {"PART_", "DRW-", "ASM_", "K-", "KV", "TMP_"}},
    {"font", "String", {"kvsans", "kvserif", "kvmono", "Helvetica", "Courier", "kvblock"}},
    {"template file",
     "BrowseFileSel",
     {"/opt/kvrn/templates/part_metric.kvp", "/opt/kvrn/templates/drawing_a3.kvd",
      "/srv/cad/standards/templates/assembly_inch.kva", "${KVRN_BASE_DIR}/templates/sheet.kvd"}},
    {"output directory",
     "BrowseDirSel",
     {"/srv/cad/output", "${HOME}/kvrn/export", "/tmp", "/srv/cad/projects/current/out"}},
    {"layer name", "String", {"CONSTRUCTION", "DIMENSIONS", "HIDDEN", "NOTES", "0", "PMI"}},
    {"date format", "String", {"%d.%m.%Y", "%Y-%m-%d", "%m/%d/%Y", "%d %b %Y"}},
    {"default material", "Widestring", {"Steel", "Aluminium 6061", "ABS", "Brass", "Nylon 66"}},
    {"author", "Widestring", {"Design office", "CAD administrator", "Engineering", ""}},
};

const text_attribute_s LIST_ATTRIBUTES[] = {
    {"search paths",
     "MultiLineText",
     {"/srv/cad/library", "/srv/cad/standards", "${HOME}/kvrn/parts", "/opt/kvrn/samples",
      "/srv/cad/projects"}},
    {"file filters", "MultiLineText", {"*.kvp", "*.kva", "*.kvd", "*.stp", "*.igs", "*.stl"}},
    {"library directories",
     "MultiLineText",
     {"/srv/cad/lib/fasteners", "/srv/cad/lib/bearings", "/srv/cad/lib/profiles",
      "/srv/cad/lib/electrical"}},
    {"keywords", "MultiLineText", {"released", "draft", "obsolete", "customer", "internal"}},
};

const char* const COLOR_ATTRIBUTES[] = {
    "color",      "highlight color", "background color",  "preselection color",
    "edge color", "text color",      "hidden line color", "grid color",
};

const choice_s COLOR_SPECIALS[] = {
    {"From layer", "0"},
    {"By object", "-1"},
    {"Background", "217"},
    {"Inverse", "218"},
};

const char* const LOGICAL_VERBS[] = {
    "Show", "Enable", "Highlight", "Update", "Confirm", "Snap to", "Preview", "Associate",
    "Hide", "Keep",   "Check",     "Lock",   "Display", "Number",  "Align",   "Sort",
};

const char* const LOGICAL_TAILS[] = {
    "",           "labels",  "on creation",    "automatically",
    "outlines",   "names",   "while dragging", "in navigator",
    "after edit", "on open", "handles",        "in output",
};

const char* const VERSIONS[] = {"3.0", "3.2", "4.0", "4.1", "4.2", "5.0", "5.1"};

const char* const COMMENTS[] = {
    "Agreed with the tooling group.",
    "Needed for the A3 title block.",
    "Matches our plotter pens.",
    "Temporary until the new file server is in place.",
    "Set by the CAD administrators, ticket 4711.",
    "R&D standard since 2025.",
    "Customer asks for this on every delivery.",
    "Slower, but the shop floor needs the detail.",
    "Keep in line with the <site> template.",
};

const char* const LABELS[] = {
    "Changes take effect for new objects only.",
    "These settings are shared with the drawing templates.",
    "Ask your administrator before changing these.",
    "Values are in the units of the part.",
};

// ---- the model ----------------------------------------------------------------------------

enum class kind_e { INT, REAL, LOGICAL, STRING, STRING_LIST };
enum class data_e { NONE, ENUM, RANGE, COLOR };

struct element_s {
  std::string name;
  std::string value;
  std::string bitmap;
};

struct bound_s {
  bool present = false;
  double value = 0.0;
  bool include = true;
  std::string name;
};

struct pref_s {
  std::string name;
  std::string title;
  std::string unit;
  std::string ver;
  std::string scope;
  std::string description;
  std::string widget;
  std::string widget_attributes;  // ready to write: ' columns="6"'
  kind_e kind = kind_e::LOGICAL;
  data_e data = data_e::NONE;
  bool data_element = true;  // false: the colour constraint comes from the Color widget alone
  std::vector<element_s> elements;
  bound_s lower;
  bound_s upper;
  double step = 1.0;
  const std::vector<const char*>* texts = nullptr;  // candidate strings and list items
  std::string default_value;
  // Where the dialog shows it, as value files name it.
  std::string application;
  std::string category;
  std::string tab;
  std::string group;
};

std::string format_real(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", value);
  std::string result = text;
  if (result.find_first_of(".eE") == std::string::npos) result += ".0";
  return result;
}

std::string format_int(long long value) {
  return std::to_string(value);
}

std::string camel_case(const std::string& words) {
  std::string token;
  bool upper = true;
  for (char c : words) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      token += upper && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
      upper = false;
    } else {
      upper = true;
    }
  }
  return token;
}

std::string lower_case(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return text;
}

std::string encode_list(const std::vector<std::string>& items) {
  if (items.size() == 1) return items[0];
  std::string encoded;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i) encoded += '\\';
    encoded += '"' + items[i] + '"';
  }
  return encoded;
}

// A value that the preference's constraint accepts, written as the library writes it.
std::string random_value(const pref_s& pref, random_s& random) {
  switch (pref.kind) {
    case kind_e::LOGICAL:
      return random.chance(0.5) ? "true" : "false";
    case kind_e::INT:
      if (pref.data == data_e::ENUM) return random.pick(pref.elements).value;
      if (pref.data == data_e::COLOR) {
        if (!pref.elements.empty() && random.chance(0.2)) return random.pick(pref.elements).value;
        return format_int(random.between(1, 216));
      }
      if (pref.data == data_e::RANGE) {
        long long low = pref.lower.present ? static_cast<long long>(pref.lower.value) : -1000;
        long long high = pref.upper.present ? static_cast<long long>(pref.upper.value) : low + 1000;
        if (!pref.lower.present) low = high - 1000;
        if (pref.lower.present && !pref.lower.include) ++low;
        if (pref.upper.present && !pref.upper.include) --high;
        return format_int(low + random.below(static_cast<int>(high - low + 1)));
      }
      return format_int(random.between(0, 500));
    case kind_e::REAL: {
      if (pref.data != data_e::RANGE) return format_real(random.between(0, 4000) * 0.25);
      double low = pref.lower.present ? pref.lower.value : pref.upper.value - 1000 * pref.step;
      double high = pref.upper.present ? pref.upper.value : low + 1000 * pref.step;
      if (pref.lower.present && !pref.lower.include) low += pref.step;
      if (pref.upper.present && !pref.upper.include) high -= pref.step;
      const long long steps = static_cast<long long>((high - low) / pref.step + 1e-9);
      const long long chosen = steps > 0 ? static_cast<long long>(random.next() % (steps + 1)) : 0;
      // Printed to 15 digits and read back, the value stays inside the bounds.
      double value = std::min(high, std::max(low, low + static_cast<double>(chosen) * pref.step));
      return format_real(std::stod(format_real(value)));
    }
    case kind_e::STRING:
      if (pref.data == data_e::ENUM) return random.pick(pref.elements).value;
      return random.pick(*pref.texts);
    case kind_e::STRING_LIST: {
      std::vector<std::string> items;
      const int count = random.between(1, 4);
      for (int i = 0; i < count; ++i) items.emplace_back(random.pick(*pref.texts));
      return encode_list(items);
    }
  }
  return "";
}

// The value as the dialog shows it: the enumeration member's name, or the flattened list.
std::string display_value(const pref_s& pref, const std::string& value) {
  for (const element_s& element : pref.elements) {
    if (element.value == value) return element.name;
  }
  if (pref.kind != kind_e::STRING_LIST || value.empty() || value[0] != '"') return value;
  std::string flat;
  std::size_t start = 0;
  while (start < value.size()) {
    std::size_t end = value.find("\"\\\"", start);
    std::string item = value.substr(start, end == std::string::npos ? end : end - start);
    if (!item.empty() && item.front() == '"') item.erase(0, 1);
    if (!item.empty() && item.back() == '"') item.pop_back();
    if (!flat.empty()) flat += ' ';
    flat += item;
    if (end == std::string::npos) break;
    start = end + 2;
  }
  return flat;
}

std::string unit_words(const std::string& unit) {
  static const char* const WORDS[][2] = {
      {"mm", "millimetres"},
      {"deg", "degrees"},
      {"%", "percent"},
      {"s", "seconds"},
      {"ms", "milliseconds"},
      {"px", "pixels"},
      {"pt", "points"},
      {"min", "minutes"},
      {"deg/s", "degrees per second"},
      {"kg/m3", "kilograms per cubic metre"},
  };
  for (const auto& entry : WORDS) {
    if (unit == entry[0]) return entry[1];
  }
  return unit;
}

// "A, B, C or D"
std::string listed(const std::vector<element_s>& elements) {
  std::string text;
  for (std::size_t i = 0; i < elements.size(); ++i) {
    if (i) text += i + 1 == elements.size() ? " or " : ", ";
    text += elements[i].name;
  }
  return text;
}

// One or two sentences, as a person would write them for the dialog's help line.
std::string description_of(const pref_s& pref, const noun_s& noun, const std::string& attribute,
                           random_s& random) {
  const std::string objects = noun.plural;
  const std::string context = random.pick(CONTEXTS);
  const bool real = pref.kind == kind_e::REAL;
  auto number = [real](double value) {
    return real ? format_real(value) : format_int(static_cast<long long>(value));
  };
  std::string text;
  switch (pref.kind) {
    case kind_e::LOGICAL:
      text = random.chance(0.5)
                 ? "When set, " + objects + " are " + random.pick(PARTICIPLES) + " " + context +
                       "; otherwise they are left as they are until the command "
                       "is given from the context menu."
                 : "Turns " + lower_case(attribute) + " of " + objects + " on or off " + context +
                       ", for the objects of the work part only.";
      break;
    case kind_e::INT:
    case kind_e::REAL:
      if (pref.data == data_e::ENUM) {
        text = "Chooses the " + attribute + " of " + objects + " " + context + ": " +
               listed(pref.elements) + ".";
      } else if (pref.data == data_e::COLOR) {
        text = "The " + attribute + " in which " + objects + " are drawn " + context +
               ", as a colour number from 1 to 216" +
               (pref.elements.empty() ? "" : " or one of " + listed(pref.elements)) + ".";
      } else {
        text = (random.chance(0.5) ? "Sets the " : "The ") + attribute + " used for " + objects +
               " " + context;
        if (!pref.unit.empty()) text += ", in " + unit_words(pref.unit);
        if (pref.lower.present && pref.upper.present) {
          text += ", from " + number(pref.lower.value) + " to " + number(pref.upper.value);
        } else if (pref.lower.present) {
          text += ", at least " + number(pref.lower.value);
        }
        text += ".";
      }
      break;
    case kind_e::STRING:
      if (pref.data == data_e::ENUM) {
        text = "The " + attribute + " used for new " + objects + " " + context + ": " +
               listed(pref.elements) + ".";
      } else {
        text = "The " + attribute + " given to new " + objects + " " + context +
               "; environment variables written as ${NAME} are expanded.";
      }
      break;
    case kind_e::STRING_LIST:
      text = "The " + attribute + " used for " + objects +
             ", one per line; they are tried in the order given and the first match is used.";
      break;
  }
  // The sentence about zero does not suit a switch.
  const char* follow_up = random.pick(FOLLOW_UPS);
  if (pref.kind == kind_e::LOGICAL && std::strstr(follow_up, "zero")) follow_up = FOLLOW_UPS[0];
  if (random.chance(0.95)) text += std::string(" ") + follow_up;
  return text;
}

void add_range(pref_s& pref, double low, double high, random_s& random) {
  pref.data = data_e::RANGE;
  pref.lower = {true, low, true, ""};
  pref.upper = {true, high, true, ""};
  if (random.chance(0.15)) {
    pref.upper.present = false;
  } else if (random.chance(0.15)) {
    pref.upper.include = false;
  }
  if (random.chance(0.1)) pref.lower.include = false;
  if (random.chance(0.08)) pref.lower.name = "minimum";
  if (pref.upper.present && random.chance(0.08)) pref.upper.name = "maximum";
}

std::string scale_attributes(const pref_s& pref, bool real) {
  auto text = [real](double value) {
    return real ? format_real(value) : format_int(static_cast<long long>(value));
  };
  std::string attributes = " min=\"" + text(pref.lower.present ? pref.lower.value : 0) + "\"";
  if (pref.upper.present) attributes += " max=\"" + text(pref.upper.value) + "\"";
  return attributes + (real ? " digits=\"3\"" : "");
}

// A preference of a random type with its constraint, widget and texts; name, placement and
// default are filled in by the caller.
pref_s make_pref(random_s& random, std::string* title_words) {
  pref_s pref;
  const noun_s& noun = random.pick(NOUNS);
  std::string attribute;
  const int roll = random.below(100);
  if (roll < 30) {
    pref.kind = kind_e::LOGICAL;
    const std::string verb = random.pick(LOGICAL_VERBS);
    const std::string tail = random.pick(LOGICAL_TAILS);
    attribute = verb;
    const bool noun_first =
        tail == "labels" || tail == "names" || tail == "outlines" || tail == "handles";
    pref.title = verb + " " + lower_case(noun_first ? noun.single : noun.plural) +
                 (tail.empty() ? "" : " " + tail);
    pref.widget = "Toggle";
  } else if (roll < 45) {
    pref.kind = kind_e::INT;
    const enum_attribute_s& choices = random.pick(INT_ENUMS);
    attribute = choices.words;
    pref.data = data_e::ENUM;
    const int style = random.below(100);
    const bool bitmaps = random.chance(0.3);
    for (std::size_t i = 0; i < choices.choices.size(); ++i) {
      const int number = style < 60   ? static_cast<int>(i)
                         : style < 85 ? static_cast<int>(i) + 1
                                      : static_cast<int>(i + 1) * 10;
      element_s element{choices.choices[i].name, format_int(number), ""};
      if (bitmaps) {
        element.bitmap = "kv_" + lower_case(camel_case(attribute)) + "_" +
                         lower_case(camel_case(element.name)) + ".png";
      }
      pref.elements.push_back(element);
    }
    pref.widget = random.chance(0.6) ? "OptionMenu" : "RadioBox";
    if (pref.widget == "RadioBox" && pref.elements.size() > 3)
      pref.widget_attributes = " columns=\"2\"";
  } else if (roll < 53) {
    pref.kind = kind_e::INT;
    const numeric_attribute_s& numeric = random.pick(INT_ATTRIBUTES);
    attribute = numeric.words;
    pref.unit = numeric.unit;
    add_range(pref, numeric.low, numeric.high, random);
    pref.widget = random.chance(0.6) ? "Integer" : "IntegerScale";
    pref.widget_attributes =
        pref.widget == "Integer" ? " columns=\"6\"" : scale_attributes(pref, false);
  } else if (roll < 58) {
    pref.kind = kind_e::INT;
    attribute = random.pick(COLOR_ATTRIBUTES);
    pref.data = data_e::COLOR;
    const int style = random.below(100);
    if (style < 50) {
      pref.widget = "Color";
      pref.data_element = false;
    } else {
      pref.widget = style < 80 ? "ColorOption" : "ColorToggle";
      const int specials = random.between(1, 3);
      for (int i = 0; i < specials; ++i) {
        pref.elements.push_back({COLOR_SPECIALS[i].name, COLOR_SPECIALS[i].value, ""});
      }
    }
  } else if (roll < 62) {
    pref.kind = kind_e::INT;
    const numeric_attribute_s& numeric = random.pick(INT_ATTRIBUTES);
    attribute = numeric.words;
    pref.unit = numeric.unit;
    pref.widget = "Integer";
    pref.widget_attributes = " columns=\"6\"";
  } else if (roll < 78) {
    pref.kind = kind_e::REAL;
    const numeric_attribute_s& numeric = random.pick(REAL_ATTRIBUTES);
    attribute = numeric.words;
    pref.unit = numeric.unit;
    pref.step = numeric.step;
    if (random.chance(0.75)) add_range(pref, numeric.low, numeric.high, random);
    pref.widget = pref.data == data_e::RANGE && random.chance(0.4) ? "RealScale" : "Real";
    pref.widget_attributes =
        pref.widget == "RealScale" ? scale_attributes(pref, true) : " columns=\"10\" digits=\"4\"";
  } else if (roll < 82) {
    pref.kind = kind_e::STRING;
    const enum_attribute_s& choices = random.pick(STRING_ENUMS);
    attribute = choices.words;
    pref.data = data_e::ENUM;
    for (const choice_s& choice : choices.choices)
      pref.elements.push_back({choice.name, choice.value, ""});
    pref.widget = "OptionMenu";
  } else if (roll < 95) {
    pref.kind = kind_e::STRING;
    const text_attribute_s& text = random.pick(STRING_ATTRIBUTES);
    attribute = text.words;
    pref.texts = &text.values;
    pref.widget = text.widget;
    if (pref.widget == "BrowseFileSel") {
      pref.widget_attributes = " columns=\"40\" filter=\"*.kv?\"";
    } else if (pref.widget == "BrowseDirSel") {
      pref.widget_attributes = " columns=\"40\"";
    } else {
      pref.widget_attributes = pref.widget == "Widestring" ? " columns=\"48\"" : " columns=\"32\"";
    }
  } else {
    pref.kind = kind_e::STRING_LIST;
    const text_attribute_s& text = random.pick(LIST_ATTRIBUTES);
    attribute = text.words;
    pref.texts = &text.values;
    pref.widget = text.widget;
    pref.widget_attributes = " rows=\"4\" columns=\"40\"";
  }
  if (pref.kind != kind_e::LOGICAL) pref.title = std::string(noun.single) + " " + attribute;
  *title_words = pref.title;
  if (random.chance(0.35)) pref.ver = random.pick(VERSIONS);
  const int scope = random.below(100);
  if (scope < 20) {
    pref.scope = "Part";
  } else if (scope < 30) {
    pref.scope = "Session";
  }
  pref.description = description_of(pref, noun, attribute, random);
  return pref;
}

// ---- writing ------------------------------------------------------------------------------

std::string escaped(const std::string& text, bool attribute) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += attribute ? "&quot;" : "\"";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// Text of an XML file under construction. Start tags longer than a line go on under their
// first attribute, and long texts are broken between words, as people keep such files.
class xml_text {
 public:
  static constexpr std::size_t WIDTH = 100;
  std::string text;

  void indent(int depth) { text.append(static_cast<std::size_t>(depth) * 2, ' '); }
  // Plain attribute on the current line.
  void attribute(const char* name, const std::string& value) {
    text += ' ';
    text += name;
    text += "=\"";
    text += escaped(value, true);
    text += '"';
  }
  // Starts a tag whose attributes wrap.
  void open_tag(int depth, const char* name) {
    indent(depth);
    text += '<';
    text += name;
    line_start_ = text.rfind('\n') + 1;
    hang_ = static_cast<std::size_t>(depth) * 2 + std::strlen(name) + 1;
    first_ = true;
  }
  void wrapped_attribute(const char* name, const std::string& value) {
    const std::string item = std::string(name) + "=\"" + escaped(value, true) + "\"";
    if (!first_ && text.size() - line_start_ + 1 + item.size() > WIDTH) {
      text += '\n';
      line_start_ = text.size();
      text.append(hang_, ' ');
    }
    text += ' ';
    text += item;
    first_ = false;
  }
  // Words of a text, escaped, on lines indented to depth.
  void wrapped_text(int depth, const std::string& words) {
    std::size_t column = text.size() - (text.rfind('\n') + 1);
    std::size_t start = 0;
    bool first = true;
    while (start < words.size()) {
      std::size_t end = words.find(' ', start);
      if (end == std::string::npos) end = words.size();
      const std::string word = escaped(words.substr(start, end - start), false);
      if (!first && column + 1 + word.size() > WIDTH) {
        text += '\n';
        indent(depth);
        column = static_cast<std::size_t>(depth) * 2;
      } else if (!first) {
        text += ' ';
        ++column;
      }
      text += word;
      column += word.size();
      first = false;
      start = end + 1;
    }
  }

 private:
  std::size_t line_start_ = 0;
  std::size_t hang_ = 0;
  bool first_ = true;
};

void make_directories(const std::string& path) {
  std::string partial;
  std::size_t position = 0;
  while (position != std::string::npos) {
    position = path.find('/', position + 1);
    partial = path.substr(0, position);
    if (partial.empty()) continue;
    if (mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) {
      throw std::runtime_error("cannot make directory " + partial + ": " + std::strerror(errno));
    }
  }
}

std::size_t write_file(const std::string& path, const std::string& contents) {
  make_directories(path.substr(0, path.rfind('/')));
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
  return contents.size();
}

class generator_s {
 public:
  generator_s(const std::string& directory, int preferences, std::uint64_t seed)
      : directory_(directory), total_(preferences), random_(seed) {}

  installation_s run();

 private:
  void write_application(int index, int count);
  void write_extras(int count);
  void write_category(xml_text& out, int depth, const std::string& application,
                      const std::string& prefix, const std::string& category, int* remaining,
                      bool extras);
  void write_pref(xml_text& out, int depth, pref_s pref);
  void write_value_file(int level);
  std::string unique_name(const std::string& wanted);

  std::string directory_;
  int total_;
  random_s random_;
  std::vector<pref_s> prefs_;
  std::unordered_set<std::string> names_;
  std::vector<char> locked_below_;
  installation_s result_;
};

std::string generator_s::unique_name(const std::string& wanted) {
  std::string name = wanted;
  for (int suffix = 2; !names_.insert(name).second; ++suffix) {
    name = wanted + "_" + std::to_string(suffix);
  }
  return name;
}

void generator_s::write_pref(xml_text& out, int depth, pref_s pref) {
  out.open_tag(depth, "Pref");
  out.wrapped_attribute("name", pref.name);
  static const char* const TYPES[] = {"int", "real", "logical", "string", "string_list"};
  out.wrapped_attribute("type", TYPES[static_cast<int>(pref.kind)]);
  out.wrapped_attribute("value", pref.default_value);
  out.wrapped_attribute("title", pref.title);
  if (!pref.unit.empty()) out.wrapped_attribute("unit", pref.unit);
  if (!pref.ver.empty()) out.wrapped_attribute("ver", pref.ver);
  if (!pref.scope.empty()) out.wrapped_attribute("scope", pref.scope);
  out.text += ">\n";
  const bool real = pref.kind == kind_e::REAL;
  if (pref.data != data_e::NONE && pref.data_element) {
    static const char* const DATA_TYPES[] = {"", "enum", "range", "color"};
    out.indent(depth + 1);
    out.text += "<Data";
    out.attribute("type", DATA_TYPES[static_cast<int>(pref.data)]);
    out.text += ">\n";
    for (const element_s& element : pref.elements) {
      out.indent(depth + 2);
      out.text += "<EnumElem";
      out.attribute("name", element.name);
      out.attribute("value", element.value);
      if (!element.bitmap.empty()) out.attribute("bitmap", element.bitmap);
      out.text += "/>\n";
    }
    const bound_s* bounds[] = {&pref.lower, &pref.upper};
    for (int i = 0; i < 2; ++i) {
      const bound_s& bound = *bounds[i];
      if (pref.data != data_e::RANGE || !bound.present) continue;
      out.indent(depth + 2);
      out.text += i == 0 ? "<LowerBound" : "<UpperBound";
      out.attribute("value", real ? format_real(bound.value)
                                  : format_int(static_cast<long long>(bound.value)));
      out.attribute("include", bound.include ? "1" : "0");
      if (!bound.name.empty()) out.attribute("name", bound.name);
      out.text += "/>\n";
    }
    out.indent(depth + 1);
    out.text += "</Data>\n";
  }
  out.indent(depth + 1);
  out.text += "<" + pref.widget + pref.widget_attributes + "/>\n";
  out.indent(depth + 1);
  out.text += "<Description>";
  out.wrapped_text(depth + 2, pref.description);
  out.text += "</Description>\n";
  out.indent(depth);
  out.text += "</Pref>\n";
  prefs_.push_back(std::move(pref));
}

// One category with its tabs and groups, taking preferences from *remaining until the category
// is full or none are left.
void generator_s::write_category(xml_text& out, int depth, const std::string& application,
                                 const std::string& prefix, const std::string& category,
                                 int* remaining, bool extras) {
  const std::string category_token = camel_case(category);
  out.indent(depth);
  out.text += "<Category";
  out.attribute("name", category);
  if (extras || random_.chance(0.5)) {
    out.attribute("csh", "kv_" + lower_case(prefix) + "_" + lower_case(category_token));
  }
  out.text += ">\n";
  const int tab_count = random_.between(2, 6);
  const int first_tab = random_.below(static_cast<int>(sizeof TABS / sizeof TABS[0]));
  for (int t = 0; t < tab_count && (*remaining > 0 || t == 0); ++t) {
    const std::string tab = TABS[(first_tab + t) % (sizeof TABS / sizeof TABS[0])];
    out.indent(depth + 1);
    out.text += "<Tab";
    out.attribute("name", tab);
    out.text += ">\n";
    const int in_tab = std::min(*remaining, random_.between(5, 28));
    *remaining -= in_tab;
    std::vector<int> groups;
    int grouped = 0;
    if (in_tab >= 8 && random_.chance(0.35)) {
      const int group_count = random_.between(1, 2);
      for (int g = 0; g < group_count && in_tab - grouped > 3; ++g) {
        groups.push_back(std::min(in_tab - grouped - 3, random_.between(3, 8)));
        grouped += groups.back();
      }
    }
    if (random_.chance(0.15)) {
      out.indent(depth + 2);
      out.text += "<Label";
      out.attribute("title", random_.pick(LABELS));
      out.text += "/>\n";
    }
    auto emit = [&](int count, int pref_depth, const std::string& group) {
      for (int i = 0; i < count; ++i) {
        std::string title;
        pref_s pref = make_pref(random_, &title);
        pref.name = unique_name(prefix + "_" + category_token + "_" + camel_case(title));
        pref.default_value = random_value(pref, random_);
        pref.application = application;
        pref.category = category;
        pref.tab = tab;
        pref.group = group;
        write_pref(out, pref_depth, std::move(pref));
      }
    };
    emit(in_tab - grouped, depth + 2, "");
    if (!groups.empty() && random_.chance(0.5)) {
      out.indent(depth + 2);
      out.text += "<Separator/>\n";
    }
    const int first_group = random_.below(static_cast<int>(sizeof GROUPS / sizeof GROUPS[0]));
    for (std::size_t g = 0; g < groups.size(); ++g) {
      const std::string group = GROUPS[(first_group + g) % (sizeof GROUPS / sizeof GROUPS[0])];
      out.indent(depth + 2);
      out.text += "<Group";
      out.attribute("name", group);
      out.text += ">\n";
      emit(groups[g], depth + 3, group);
      out.indent(depth + 2);
      out.text += "</Group>\n";
    }
    out.indent(depth + 1);
    out.text += "</Tab>\n";
  }
  out.indent(depth);
  out.text += "</Category>\n";
}

// The index-th name of the list; past its end the names come round again with a number.
template <std::size_t N>
std::string numbered(const char* const (&names)[N], int index) {
  std::string name = names[static_cast<std::size_t>(index) % N];
  if (static_cast<std::size_t>(index) >= N) name += " " + std::to_string(index / N + 1);
  return name;
}

std::string csh_of(int application) {
  std::string stem = definition_file(application);
  return stem.substr(0, stem.size() - 4) + "_app";  // kv_modeling.dpx -> kv_modeling_app
}

std::string file_header(const char* file, const std::string& what) {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- ") + file + ": " + what +
         "\n     Made by kvrn-gen-install for the benchmarks, laid out like a hand-kept file. "
         "-->\n";
}

void generator_s::write_application(int index, int count) {
  const application_s& application = APPLICATIONS[index];
  xml_text out;
  out.text = file_header(definition_file(index),
                         std::string("preferences of the ") + application.title + " application.");
  out.text += "<Preferences>\n";
  out.indent(1);
  out.text += "<Application";
  out.attribute("name", application.title);
  out.attribute("csh", csh_of(index));
  out.text += ">\n";
  int remaining = count;
  for (int category = 0; remaining > 0 || category == 0; ++category) {
    write_category(out, 2, application.title, application.prefix, numbered(CATEGORIES, category),
                   &remaining, false);
  }
  out.indent(1);
  out.text += "</Application>\n</Preferences>\n";
  result_.definition_bytes += write_file(directory_ + "/kvrn/" + definition_file(index), out.text);
}

// The extras file: a category added to two applications, and new defaults for a few
// preferences of the others.
void generator_s::write_extras(int count) {
  xml_text out;
  out.text = file_header(definition_file(DEFINITION_FILE_COUNT - 1),
                         "site additions to the applications' preferences.");
  out.text += "<Preferences>\n";
  const int hosts[2] = {0, 1};  // gateway and modeling
  int remaining[2] = {count / 2, count - count / 2};
  const std::size_t defined_before = prefs_.size();
  for (int i = 0; i < 2; ++i) {
    out.indent(1);
    out.text += "<Application";
    out.attribute("csh", csh_of(hosts[i]));
    out.text += ">\n";
    const char* prefix = i == 0 ? "Site" : "Company";
    const char* const names[] = {i == 0 ? "Site Standards" : "Company Extensions"};
    for (int category = 0; remaining[i] > 0 || category == 0; ++category) {
      write_category(out, 2, APPLICATIONS[hosts[i]].title, prefix, numbered(names, category),
                     &remaining[i], true);
    }
    out.indent(1);
    out.text += "</Application>\n";
  }
  const int overrides = defined_before == 0 ? 0 : std::max(5, total_ / 1000);
  for (int i = 0; i < overrides; ++i) {
    const pref_s& pref = prefs_[random_.below(static_cast<int>(defined_before))];
    out.indent(1);
    out.text += "<PrefValue";
    out.attribute("name", pref.name);
    out.attribute("value", random_value(pref, random_));
    if (random_.chance(0.5)) out.attribute("ver", random_.pick(VERSIONS));
    out.text += "/>\n";
  }
  result_.overrides = overrides;
  out.text += "</Preferences>\n";
  result_.definition_bytes +=
      write_file(directory_ + "/kvrn/" + definition_file(DEFINITION_FILE_COUNT - 1), out.text);
}

std::string date_text(std::int64_t seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm parts{};
  gmtime_r(&time, &parts);
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
  return text;
}

// A value file as the library writes it: one Pref element a line, a quarter of the
// preferences, none of them locked at a level below.
void generator_s::write_value_file(int level) {
  static const char* const STYLE_SHEETS[] = {"kvrn1_site.xsl", "kvrn1_group.xsl", "kvrn1_user.xsl"};
  std::vector<int> candidates;
  for (int i = 0; i < static_cast<int>(prefs_.size()); ++i) {
    if (!locked_below_[static_cast<std::size_t>(i)]) candidates.push_back(i);
  }
  const int count = std::min(static_cast<int>(candidates.size()), total_ / 4);
  for (int i = 0; i < count; ++i) {
    std::swap(candidates[static_cast<std::size_t>(i)],
              candidates[static_cast<std::size_t>(
                  random_.between(i, static_cast<int>(candidates.size()) - 1))]);
  }
  const double lock_share = level == 1 ? 0.01 : level == 2 ? 0.005 : 0.0;
  xml_text out;
  out.text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<?xml-stylesheet type=\"text/xsl\" href=\"";
  out.text += STYLE_SHEETS[level - 1];
  out.text += "\"?>\n<PrefValues defaultLockStatus=\"unlocked\">\n";
  std::vector<int> newly_locked;
  for (int i = 0; i < count; ++i) {
    const int index = candidates[static_cast<std::size_t>(i)];
    const pref_s& pref = prefs_[static_cast<std::size_t>(index)];
    const std::string value = random_value(pref, random_);
    out.text += "<Pref";
    out.attribute("Application", pref.application);
    out.attribute("Category", pref.category);
    out.attribute("Tab", pref.tab);
    out.attribute("title", pref.group.empty() ? pref.title : pref.group + " - " + pref.title);
    out.attribute("displayValue", display_value(pref, value));
    out.attribute("name", pref.name);
    out.attribute("value", value);
    if (random_.chance(lock_share)) {
      out.attribute("locked", "yes");
      newly_locked.push_back(index);
      ++result_.locks;
    }
    // Between 2024-01-01 and the end of 2026.
    out.attribute("modified",
                  date_text(1704067200 + static_cast<std::int64_t>(random_.next() % 94608000)));
    if (random_.chance(0.03)) {
      out.text +=
          "><UserComment>" + escaped(random_.pick(COMMENTS), false) + "</UserComment></Pref>\n";
    } else {
      out.text += "/>\n";
    }
  }
  out.text += "</PrefValues>\n";
  for (int index : newly_locked) locked_below_[static_cast<std::size_t>(index)] = 1;
  result_.values[level - 1] = count;
  result_.value_bytes += write_file(directory_ + "/" + VALUE_FILES[level - 1], out.text);
}

const char* const STYLE_SHEET =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!-- Shows a value file as a table in a browser. -->\n"
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">\n"
    "  <xsl:template match=\"/PrefValues\">\n"
    "    <html><body>\n"
    "      <p>Locked by default: <xsl:value-of select=\"@defaultLockStatus\"/></p>\n"
    "      <table border=\"1\">\n"
    "        <tr><th>Application</th><th>Category</th><th>Tab</th><th>Preference</th>"
    "<th>Value</th><th>Locked</th><th>Modified</th><th>Comment</th></tr>\n"
    "        <xsl:for-each select=\"Pref\">\n"
    "          <tr><td><xsl:value-of select=\"@Application\"/></td>"
    "<td><xsl:value-of select=\"@Category\"/></td><td><xsl:value-of select=\"@Tab\"/></td>"
    "<td><xsl:value-of select=\"@title\"/></td><td><xsl:value-of select=\"@displayValue\"/></td>"
    "<td><xsl:value-of select=\"@locked\"/></td><td><xsl:value-of select=\"@modified\"/></td>"
    "<td><xsl:value-of select=\"UserComment\"/></td></tr>\n"
    "        </xsl:for-each>\n"
    "      </table>\n"
    "    </body></html>\n"
    "  </xsl:template>\n"
    "</xsl:stylesheet>\n";

installation_s generator_s::run() {
  // A hundredth of the preferences, at least a few, sit in the extras categories; the rest are
  // shared out by the applications' weights, the remainder going to the first ones.
  const int extras = total_ < 40 ? total_ / 4 : std::max(10, total_ / 100);
  const int shared = total_ - extras;
  int weights = 0;
  for (const application_s& application : APPLICATIONS) weights += application.weight;
  std::vector<int> counts;
  int given = 0;
  for (const application_s& application : APPLICATIONS) {
    counts.push_back(
        static_cast<int>(static_cast<long long>(shared) * application.weight / weights));
    given += counts.back();
  }
  for (std::size_t i = 0; given < shared; i = (i + 1) % counts.size(), ++given) ++counts[i];
  for (int i = 0; i < DEFINITION_FILE_COUNT - 1; ++i)
    write_application(i, counts[static_cast<std::size_t>(i)]);
  write_extras(extras);
  write_file(directory_ + "/kvrn/xsl/dpv.xsl", STYLE_SHEET);
  result_.preferences = static_cast<int>(prefs_.size());
  locked_below_.assign(prefs_.size(), 0);
  for (int level = 1; level <= 3; ++level) write_value_file(level);
  return result_;
}

}  // namespace

installation_s generate_installation(const std::string& directory, int preferences,
                                     unsigned long long seed) {
  if (preferences < 0) throw std::runtime_error("a negative number of preferences");
  generator_s generator(directory, preferences, seed);
  return generator.run();
}

}  // namespace kvrn_bench
