# Writes a C++ source that holds the editor's page, style sheet and script as three strings.
# Arguments: OUTPUT, HTML, CSS, JS (paths).
set(source "// Made from tools/kvrn-prefs/editor when the program is built; do not edit.\n")
string(APPEND source "#include \"editor_assets.h\"\n")
foreach(part HTML CSS JS)
  file(READ "${${part}}" text)
  if(text MATCHES "\\)kvrn_asset\"")
    message(FATAL_ERROR "${${part}} holds the end of the raw string that embeds it")
  endif()
  string(APPEND source "const char EDITOR_PAGE_${part}[] = R\"kvrn_asset(${text})kvrn_asset\";\n")
endforeach()
file(WRITE "${OUTPUT}.new" "${source}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
