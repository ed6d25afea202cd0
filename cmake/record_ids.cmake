# record_ids.h for the resource scripts: "#define <name> <id>" for every row
# of the record table, so that .rc files name records as the code does (the
# resource compiler's preprocessor sees macros, not the table's C++ enum).
# Written at configure time; the table is a configure dependency, so a build
# after a change to it writes the header again (only when its text changes).
function(qd_write_record_ids table output)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${table})
  file(READ ${table} content)
  # Every row, and every row in the form read below: a row written otherwise
  # would be missing from the header without a word.
  string(REGEX MATCHALL "\n *QD_RECORD\\(" rows "${content}")
  string(REGEX MATCHALL "\n *QD_RECORD\\([0-9]+, [A-Z][A-Z0-9_]*," read "${content}")
  list(LENGTH rows row_count)
  list(LENGTH read read_count)
  if(NOT row_count EQUAL read_count OR row_count EQUAL 0)
    message(FATAL_ERROR "${table}: write every row as QD_RECORD(<id>, <NAME>, ... on a line of its own")
  endif()
  set(text "// Written by the build from src/config/record_table.h; edit the table, not this file.\n")
  string(APPEND text "#pragma once\n#ifndef RC_INVOKED\n#error \"record_ids.h is for resource scripts; C++ includes config/record_table.h\"\n#endif\n")
  set(names "")
  foreach(row IN LISTS read)
    string(REGEX MATCH "([0-9]+), ([A-Z0-9_]+)" pair "${row}")
    string(APPEND text "#define ${CMAKE_MATCH_2} ${CMAKE_MATCH_1}\n")
    list(APPEND names ${CMAKE_MATCH_2})
  endforeach()
  file(CONFIGURE OUTPUT ${output} CONTENT "${text}" @ONLY)
  set_property(GLOBAL PROPERTY QD_RECORD_NAMES "${names}")
endfunction()

# The resource compiler takes a name it has no macro for as a text name, and
# the launcher would never find that record: every record a resource script
# names must be in the table.
function(qd_check_record_names script)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${script})
  get_property(names GLOBAL PROPERTY QD_RECORD_NAMES)
  file(STRINGS ${script} lines REGEX "^[A-Za-z_][A-Za-z0-9_]* +RCDATA")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "^[A-Za-z_][A-Za-z0-9_]*" name "${line}")
    if(NOT name IN_LIST names)
      message(FATAL_ERROR "${script}: ${name} is not a record of src/config/record_table.h")
    endif()
  endforeach()
endfunction()
