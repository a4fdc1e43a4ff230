// kvrn-prefs report --html: one self-contained page, well-formed XHTML that any browser shows
// as it is (inline style, no script, no style sheet transformation). Each application is a
// table with a row per preference; fixed column widths and wrapping cells keep every column
// in view on a 1,366 px screen, and on a narrow one (a phone, 390 px) each row becomes a card
// whose cells stand one above the other, each named by its column.
#include <cctype>
#include <cstring>

#include "report.h"

namespace {

const char* const STYLE = R"(
body { font: 14px/1.35 system-ui, "Segoe UI", Roboto, "DejaVu Sans", sans-serif;
       color: #1d1d1d; margin: 16px 20px; }
h1 { font-size: 22px; margin: 0 0 4px; }
h2 { font-size: 18px; margin: 28px 0 6px; padding-bottom: 2px; border-bottom: 2px solid #3b5b8c; }
p.about, p.key { color: #4a4a4a; margin: 4px 0 10px; max-width: 80em; }
nav ul { column-width: 13em; list-style: none; margin: 6px 0 0; padding: 0; }
nav li { margin: 0 0 2px; }
table { border-collapse: collapse; width: 100%; table-layout: fixed; }
th, td { border: 1px solid #c8ccd2; padding: 4px 6px; text-align: left; vertical-align: top;
         overflow-wrap: break-word; }
thead th { background: #e4e8ee; }
table.levels { margin-bottom: 8px; }
table.levels col.number { width: 8em; }
table.levels col.file { width: 34%; }
table.levels col.lock { width: 13em; }
col.pref { width: 21%; }
col.effective { width: 15%; }
col.level { width: 16%; }
tr.place th { background: #f0f2f5; font-weight: 600; }
tr.group th { background: #f8f9fa; font-weight: normal; font-style: italic; padding-left: 18px; }
tr.locked td.pref { border-left: 4px solid #a01010; }
.name, .stored, .file { font-family: ui-monospace, "DejaVu Sans Mono", monospace; font-size: 12px; }
.name { color: #444; }
.type, .date, .from, .stored, .none { color: #666; font-size: 12px; }
.value, .item { font-weight: 600; }
.item { display: block; }
.empty { font-weight: normal; font-style: italic; color: #666; }
.lock { color: #a01010; font-weight: 600; font-size: 12px; }
.exception { color: #106010; font-size: 12px; }
.carried { color: #8a5a00; font-size: 12px; }
.failed { color: #a01010; }
td.source { background: #eef6ee; }
.comment { white-space: pre-wrap; margin-top: 3px; padding-left: 5px; border-left: 3px solid #c8ccd2;
           font-style: italic; }
@media (max-width: 760px) {
  body { margin: 10px 12px; }
  table, tbody, tr, th, td { display: block; width: auto; }
  colgroup, thead { display: none; }
  tbody tr { border: 1px solid #c8ccd2; border-top: none; }
  tbody tr:first-child, tr.place { border-top: 1px solid #c8ccd2; margin-top: 10px; }
  th, td { border: none; }
  td + td { border-top: 1px solid #e4e8ee; }
  tr.locked { border-left: 4px solid #a01010; }
  tr.locked td.pref { border-left: none; }
  td[data-label]:empty { display: none; }
  td[data-label]::before { content: attr(data-label); display: block; color: #555;
                           font-size: 12px; font-weight: 600; }
  td.level { padding-left: 14px; }
}
)";

void add_escaped_char(char c, std::string* out) {
  switch (c) {
    case '&':
      *out += "&amp;";
      break;
    case '<':
      *out += "&lt;";
      break;
    case '>':
      *out += "&gt;";
      break;
    case '"':
      *out += "&quot;";
      break;
    case '\r':
      *out += "&#13;";
      break;
    default:
      *out += c;
  }
}

// Text as XML character data or an attribute value: markup characters as references, a
// carriage return as a reference (so that it survives reading), and what XML cannot hold
// (control characters, bytes that are not UTF-8) as U+FFFD.
std::string escaped(const std::string& text) {
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    const char* rest = text.c_str() + at;
    std::size_t offset = 0;
    const std::size_t good = KVXML_is_xml_text(rest, &offset) ? std::strlen(rest) : offset;
    for (std::size_t i = 0; i < good; ++i) add_escaped_char(rest[i], &out);
    at += good;
    if (at < text.size()) {
      out += "\xEF\xBF\xBD";
      ++at;
    }
  }
  return out;
}

std::string element(const char* tag, const char* css_class, const std::string& text) {
  return std::string("<") + tag + " class=\"" + css_class + "\">" + escaped(text) + "</" + tag +
         ">";
}

std::string value_html(const std::vector<std::string>& items, bool is_list) {
  if (items.empty()) {
    return element("div", "value empty", is_list ? "(no items)" : "(no value)");
  }
  if (!is_list) {
    return items[0].empty() ? element("div", "value empty", "(empty)")
                            : element("div", "value", items[0]);
  }
  std::string html = "<div>";
  for (const std::string& item : items) html += element("span", "item", item);
  return html + "</div>";
}

// 2026-11-30T09:15:00Z as 2026-11-30 09:15:00 UTC.
std::string readable_date(std::string date) {
  if (date.size() == 20 && date[10] == 'T' && date[19] == 'Z') {
    date[10] = ' ';
    date.replace(19, 1, " UTC");
  }
  return date;
}

// A cell's column, which a narrow page shows above the cell's content.
std::string labelled_cell(const char* css_class, const std::string& label) {
  const std::string attribute = css_class ? std::string(" class=\"") + css_class + "\"" : "";
  return "<td" + attribute + " data-label=\"" + escaped(label) + "\">";
}

std::string level_label(int level) {
  return std::to_string(level) + " " + level_name(level);
}

std::string level_cell(const report_pref_s& pref, int level, const report_level_s& info) {
  const report_entry_s& entry = pref.levels[level];
  std::string html = labelled_cell(
      entry.has_entry && level == pref.source ? "level source" : "level", level_label(level));
  if (!info.defined) return html + element("span", "none", "level not used") + "</td>";
  if (entry.has_entry) {
    html += value_html(entry.items, entry.is_list);
    if (!entry.stored.empty()) html += element("div", "stored", "stored as " + entry.stored);
  } else {
    html += element("div", "none", "no entry");
  }
  if (entry.lock_exception) {
    html += element("div", "exception", "unlocked: an exception to the level's default lock");
  } else if (entry.locks) {
    html +=
        element("div", "lock", entry.lock_by_default ? "locked by the level's default" : "locked");
  }
  if (!entry.date.empty()) html += element("div", "date", readable_date(entry.date));
  if (entry.carried) {
    html += element("div", "carried",
                    "the file's entry was ignored at start-up (locked below, or not valid) and "
                    "is carried");
  }
  if (!entry.comment.empty()) html += element("div", "comment", entry.comment);
  return html + "</td>";
}

std::string pref_row(const report_pref_s& pref, const report_s& report) {
  std::string html = pref.locked_from >= 0 ? "<tr class=\"locked\">" : "<tr>";
  std::string type = pref.type;
  if (!pref.unit.empty()) type += ", unit " + pref.unit;
  html += "<td class=\"pref\">" + element("div", "title", pref.title) +
          element("div", "name", pref.name) + element("div", "type", type) + "</td>";
  html += labelled_cell("effective", "Effective value") +
          value_html(pref.effective, pref.levels[0].is_list) +
          element("div", "from", std::string("from ") + level_name(pref.source));
  if (pref.locked_from >= 0) {
    html += element("div", "lock", std::string("locked at ") + level_name(pref.locked_from));
  }
  html += "</td>";
  for (int level = 0; level <= 3; ++level) {
    html += level_cell(pref, level, report.levels[level]);
  }
  return html + "</tr>\n";
}

std::string levels_table(const report_s& report) {
  std::string html =
      "<table class=\"levels\"><colgroup><col class=\"number\"/><col class=\"file\"/>"
      "<col class=\"lock\"/><col/></colgroup>\n<thead><tr><th>Level</th><th>Value file</th>"
      "<th>Default lock</th><th>State</th></tr></thead>\n<tbody>\n";
  for (int level = 0; level <= 3; ++level) {
    const report_level_s& info = report.levels[level];
    html += "<tr><td>" + level_label(level) + "</td>" + labelled_cell(nullptr, "Value file") +
            (info.file.empty() ? "" : element("span", "file", info.file)) + "</td>" +
            labelled_cell(nullptr, "Default lock") +
            (info.locks_by_default ? "locks every preference" : "") + "</td>" +
            labelled_cell(info.failed ? "failed" : nullptr, "State") + escaped(info.state) +
            "</td></tr>\n";
  }
  return html + "</tbody></table>\n";
}

const char* const KEY =
    "<p class=\"key\">A row is a preference: its effective value, the level it comes from and "
    "where it is locked, then what each level records (value, lock, date and comment). The "
    "level whose value is in effect is shaded; a row with a red edge is locked, so the levels "
    "above the lock cannot change it.</p>\n";

std::string table_head() {
  std::string html =
      "<table class=\"prefs\"><colgroup><col class=\"pref\"/><col class=\"effective\"/>"
      "<col class=\"level\"/><col class=\"level\"/><col class=\"level\"/><col class=\"level\"/>"
      "</colgroup>\n<thead><tr><th>Preference</th><th>Effective value</th>";
  for (int level = 0; level <= 3; ++level) html += "<th>" + level_label(level) + "</th>";
  return html + "</tr></thead>\n";
}

}  // namespace

std::string report_html(const report_s& report) {
  std::string html =
      "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\" "
      "xml:lang=\"en\">\n<head>\n<meta charset=\"UTF-8\"/>\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n<title>" +
      escaped("Kvrn preferences: " + report.scope) + "</title>\n<style>" + STYLE +
      "</style>\n</head>\n<body>\n<h1>Kvrn preferences</h1>\n";
  std::string about = report.scope + ": " + std::to_string(report.prefs.size()) +
                      " preferences. Made " + readable_date(report.made) + " by kvrn-prefs report";
  if (!report.base.empty()) about += " from the installation " + report.base;
  about[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(about[0])));
  html += "<p class=\"about\">" + escaped(about + ".") + "</p>\n" + levels_table(report) + KEY;

  // The applications in the order of the report, each with its number of preferences.
  std::vector<std::pair<std::string, int>> applications;
  for (const report_pref_s& pref : report.prefs) {
    if (applications.empty() || applications.back().first != pref.application) {
      applications.emplace_back(pref.application, 0);
    }
    ++applications.back().second;
  }
  if (applications.size() > 1) {
    html += "<nav><h2>Applications</h2><ul>\n";
    for (std::size_t i = 0; i < applications.size(); ++i) {
      html += "<li><a href=\"#application-" + std::to_string(i + 1) + "\">" +
              escaped(applications[i].first) + "</a> (" + std::to_string(applications[i].second) +
              ")</li>\n";
    }
    html += "</ul></nav>\n";
  }
  if (report.prefs.empty()) html += "<p>No preference matches.</p>\n";

  std::size_t application = 0;
  std::string place, group;
  for (std::size_t i = 0; i < report.prefs.size(); ++i) {
    const report_pref_s& pref = report.prefs[i];
    const bool new_application = i == 0 || report.prefs[i - 1].application != pref.application;
    if (new_application) {
      if (i > 0) html += "</tbody></table>\n</section>\n";
      html += "<section id=\"application-" + std::to_string(++application) + "\">\n" +
              element("h2", "application", pref.application) + "\n" + table_head();
      place.clear();
    }
    const std::string here = pref.category + " \xE2\x80\xBA " + pref.tab;
    if (new_application || here != place) {
      if (!new_application) html += "</tbody>\n";
      html += "<tbody>\n<tr class=\"place\"><th colspan=\"6\">" + escaped(here) + "</th></tr>\n";
      place = here;
      group.clear();
    }
    if (pref.group != group && !pref.group.empty()) {
      html += "<tr class=\"group\"><th colspan=\"6\">" + escaped(pref.group) + "</th></tr>\n";
    }
    group = pref.group;
    html += pref_row(pref, report);
  }
  if (!report.prefs.empty()) html += "</tbody></table>\n</section>\n";
  return html + "</body>\n</html>\n";
}
