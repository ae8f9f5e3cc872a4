# Fails when a source includes a header of a room it may not depend on.
# Usage: cmake -DROOT=<source tree> -P scripts/check_layout.cmake
#
# The rooms and what each may include besides itself. Dependencies point one
# way: output and metadata stand alone; naming builds on them; report on
# naming; the window and the command line on the report; the settings store
# is the window's alone. Tests, tools, benchmarks and the fuzz target may use
# any room (the fuzz target not the window's) and share the builders of
# testkit, which itself builds on the libraries only.
set(allowed_output "")
set(allowed_metadata "")
set(allowed_naming "metadata;output")
set(allowed_report "metadata;naming;output")
set(allowed_cli "metadata;naming;output;report")
set(allowed_settings "")
set(allowed_testkit "metadata;naming;output")
set(allowed_app "metadata;naming;output;report;settings")
set(allowed_tools "metadata;naming;output;report;testkit;app;settings")
set(allowed_fuzz "metadata;naming;output;report;testkit")
set(allowed_bench "metadata;naming;output;report;testkit;app;settings")
set(allowed_tests "metadata;naming;output;report;testkit;app;settings")
set(rooms output metadata naming report cli settings app testkit tools fuzz bench tests)

if(NOT ROOT)
  message(FATAL_ERROR "ROOT is not set")
endif()

set(problems "")
foreach(room IN LISTS rooms)
  file(GLOB_RECURSE sources "${ROOT}/${room}/*.cpp" "${ROOT}/${room}/*.hpp" "${ROOT}/${room}/*.h")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[a-z_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"([a-z_]+)/.*$" "\\1" target "${line}")
      if(target STREQUAL room)
        continue()
      endif()
      list(FIND allowed_${room} "${target}" at)
      if(at EQUAL -1)
        file(RELATIVE_PATH shown "${ROOT}" "${source}")
        list(APPEND problems "${shown}: ${room}/ may not include ${target}/ (${line})")
      endif()
    endforeach()
  endforeach()
endforeach()

if(problems)
  list(JOIN problems "\n" text)
  message(FATAL_ERROR "Includes across a forbidden edge:\n${text}")
endif()
message(STATUS "Every include follows the rooms' edges")
