# Runs a link command with SOURCE_DATE_EPOCH set to the release time stamp, which GNU ld
# writes into the PE header's TimeDateStamp (and then the header's checksum over the whole
# file) instead of the time of the link. telinv's linker launcher:
#   cmake -DEPOCH_FILE=<file> -P link-with-epoch.cmake -- <link command...>
cmake_minimum_required(VERSION 3.25)

file(STRINGS "${EPOCH_FILE}" epoch REGEX "^[0-9]+$" LIMIT_COUNT 1)
if(NOT epoch)
  message(FATAL_ERROR "link-with-epoch: no time stamp in ${EPOCH_FILE}")
endif()

# The words after "--" are the link command, one argument each.
set(command "")
set(seen_separator 0)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
  if(seen_separator)
    list(APPEND command "${CMAKE_ARGV${i}}")
  elseif(CMAKE_ARGV${i} STREQUAL "--")
    set(seen_separator 1)
  endif()
endforeach()
if(NOT command)
  message(FATAL_ERROR "link-with-epoch: no link command after --")
endif()

set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
execute_process(COMMAND ${command} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "link-with-epoch: the link failed (${rc})")
endif()
