// kvrn-prefs report: every preference with its value at each level, as text or as an XHTML
// page, on standard output or in a file.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "report.h"

int run_report(const command_line_s& line) {
  if (line.arguments.size() > 1) return refuse(EXIT_USAGE, "report takes at most one application");
  report_s report;
  const std::string application = line.arguments.empty() ? "" : line.arguments[0];
  if (!collect_report(application, line.changed, &report)) {
    return refuse(EXIT_REFUSED, "no application named " + application);
  }
  const std::string text = line.html ? report_html(report) : report_text(report);
  if (line.output.empty()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return EXIT_OK;
  }
  // The file is replaced whole, so a reader never finds half a report.
  if (const int error = CFI_replace_file(line.output.c_str(), text.data(), text.size())) {
    return refuse(EXIT_REFUSED,
                  "cannot write the report to " + line.output + ": " + std::strerror(error));
  }
  std::printf("report of %zu preferences written to %s\n", report.prefs.size(),
              line.output.c_str());
  return EXIT_OK;
}
