# The release time stamp: the one time that goes into the shipped file's PE header and the
# zip's entries, so that two builds of one commit give the same bytes. Run at configure
# time and again at every build (cmake -P), since a commit changes it without a configure:
#   cmake -DSOURCE_DIR=<source tree> -DOUTPUT=<file> [-DQUIET=1] -P source-date-epoch.cmake
# OUTPUT gets the time in seconds since 1970 (UTC) and a line end; it is written only when
# the time changed, so that the link that depends on it runs again only then.
#
# Where the time comes from, first match:
#   1. the environment variable SOURCE_DATE_EPOCH (a decimal number of seconds);
#   2. cmake/package/commit-time, which "git archive" fills with the commit's time (its
#      export-subst attribute): a source tarball made from a tag carries its commit's time;
#   3. the committer time of HEAD ("git log -1 --format=%ct"), where the source tree is
#      the top of a git work tree;
#   4. otherwise the fixed 1980-01-01 00:00:00 UTC (315532800, the earliest time a zip
#      entry can hold), with a warning at configure time: such a build is the same on
#      every machine, but its time stamp says nothing of the source.
cmake_minimum_required(VERSION 3.25)

set(epoch "")
set(origin "")
if(DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
  if(NOT epoch MATCHES "^[0-9]+$" OR epoch GREATER 4102444799)
    message(FATAL_ERROR "SOURCE_DATE_EPOCH is '${epoch}': it must be a decimal number of seconds since 1970 (before 2100)")
  endif()
  set(origin "SOURCE_DATE_EPOCH")
endif()

if(epoch STREQUAL "" AND EXISTS "${SOURCE_DIR}/cmake/package/commit-time")
  file(STRINGS "${SOURCE_DIR}/cmake/package/commit-time" stamp REGEX "^[0-9]+$" LIMIT_COUNT 1)
  if(stamp)
    set(epoch "${stamp}")
    set(origin "the commit time that git archive wrote into cmake/package/commit-time")
  endif()
endif()

if(epoch STREQUAL "")
  find_program(GIT_EXECUTABLE git)
  if(GIT_EXECUTABLE)
    # Only the source tree's own history: a tarball unpacked inside some other work tree
    # must not take that tree's commit.
    execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" rev-parse --show-toplevel
      OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE rc)
    if(rc EQUAL 0)
      file(REAL_PATH "${top}" top)
      file(REAL_PATH "${SOURCE_DIR}" source_real)
      if(top STREQUAL source_real)
        execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" log -1 --format=%ct
          OUTPUT_VARIABLE stamp OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE rc)
        if(rc EQUAL 0 AND stamp MATCHES "^[0-9]+$")
          set(epoch "${stamp}")
          set(origin "the committer time of git HEAD")
        endif()
      endif()
    endif()
  endif()
endif()

set(fallback 0)
if(epoch STREQUAL "")
  set(epoch 315532800)
  set(origin "a fixed time: no SOURCE_DATE_EPOCH and no git history")
  set(fallback 1)
endif()

set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL "${epoch}\n")
  file(WRITE "${OUTPUT}" "${epoch}\n")
  set(QUIET 0)
endif()
if(NOT QUIET)
  # string(TIMESTAMP) formats the current time, or SOURCE_DATE_EPOCH where it is set
  # (this script runs in a process of its own).
  set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
  string(TIMESTAMP when "%Y-%m-%d %H:%M:%S UTC" UTC)
  message(STATUS "telinv release time stamp: ${epoch} (${when}), from ${origin}")
  if(fallback)
    message(WARNING "telinv: the release time stamp is the fixed 1980-01-01 00:00:00 UTC: this source "
      "tree has no git history and SOURCE_DATE_EPOCH is not set. To make a release, build from a git "
      "clone or a 'git archive' tarball, or set SOURCE_DATE_EPOCH to the release commit's time.")
  endif()
endif()
