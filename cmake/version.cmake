# The one version of everything the project ships: project()'s X.Y.Z and a
# build number as the fourth field, X.Y.Z.B. The version resources, the
# manifests, the generated version.hpp (TARNWICK_VERSION, for the programs'
# own --version) and the release's zip names all take it from here; the PE
# time stamp (cmake/release.cmake) takes TARNWICK_SOURCE_DATE_EPOCH from here.
#
# The build number is the count of commits up to the one being built
# (git rev-list --count), and the time stamp that commit's time: the same for
# every build of one commit, and growing along the history, so installers see
# a newer build as a newer file. They come from one of two places only:
#   - TARNWICK_BUILD_NUMBER and SOURCE_DATE_EPOCH, given together in the
#     environment (tools/release and tools/check-reproducible set both for
#     the tree they export; a source tarball's builder sets both);
#   - this project's own git: the repository whose top level is this source
#     folder (not a repository the folder happens to lie inside).
# A build of the shipped binaries (MinGW) with neither stops: an unknown
# version would otherwise ship as X.Y.Z.0 dated 1970. Other builds (the host
# tests) then take 0 and say so. The build number must fit in 16 bits, as
# each field of a Windows file version does.

function(tarnwick_version_source number_var epoch_var)
  set(given_number "$ENV{TARNWICK_BUILD_NUMBER}")
  set(given_epoch "$ENV{SOURCE_DATE_EPOCH}")
  if(NOT given_number STREQUAL "" OR NOT given_epoch STREQUAL "")
    if(NOT given_number MATCHES "^[0-9]+$" OR NOT given_epoch MATCHES "^[0-9]+$")
      message(FATAL_ERROR "TARNWICK_BUILD_NUMBER ('${given_number}') and SOURCE_DATE_EPOCH ('${given_epoch}') "
                          "must be given together, each a number: the build number and the commit's time")
    endif()
    set(${number_var} "${given_number}" PARENT_SCOPE)
    set(${epoch_var} "${given_epoch}" PARENT_SCOPE)
    return()
  endif()
  find_package(Git QUIET)
  if(GIT_FOUND)
    # At the top of its repository git names no prefix; inside a subfolder of
    # another repository it names the subfolder. (No path comparison: drive
    # letters and links would make equal folders differ.)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --show-prefix
                    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE prefix OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE status ERROR_QUIET)
    if(status EQUAL 0 AND prefix STREQUAL "")
      execute_process(COMMAND ${GIT_EXECUTABLE} rev-list --count HEAD
                      WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                      OUTPUT_VARIABLE count OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
      execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                      WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                      OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
      if(count MATCHES "^[0-9]+$" AND epoch MATCHES "^[0-9]+$")
        # A new commit or checkout moves HEAD's reflog: configure again then,
        # so that the build number and the time stamp follow the commit.
        execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --path-format=absolute --git-path logs/HEAD
                        WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                        OUTPUT_VARIABLE head_log OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(head_log AND EXISTS "${head_log}")
          set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${head_log}")
        endif()
        set(${number_var} "${count}" PARENT_SCOPE)
        set(${epoch_var} "${epoch}" PARENT_SCOPE)
        return()
      endif()
    endif()
  endif()
  set(why "${CMAKE_SOURCE_DIR} is not the top of a git repository with a commit, and TARNWICK_BUILD_NUMBER and "
          "SOURCE_DATE_EPOCH are not given")
  if(MINGW)
    message(FATAL_ERROR "No version for the shipped binaries: ${why}. Build from a clone, or give both "
                        "(the commit count and the commit's time of the tree).")
  endif()
  message(WARNING "${why}: the build number and the time stamp are 0 in this build")
  set(${number_var} 0 PARENT_SCOPE)
  set(${epoch_var} 0 PARENT_SCOPE)
endfunction()

tarnwick_version_source(TARNWICK_BUILD_NUMBER TARNWICK_SOURCE_DATE_EPOCH)
if(TARNWICK_BUILD_NUMBER GREATER 65535)
  message(FATAL_ERROR "build number ${TARNWICK_BUILD_NUMBER} does not fit in a file version's 16-bit field")
endif()
set(TARNWICK_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${TARNWICK_BUILD_NUMBER}")
message(STATUS "Version: ${TARNWICK_VERSION}")

# version.hpp in the build tree: TARNWICK_VERSION as a string literal.
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.hpp.in ${CMAKE_BINARY_DIR}/generated/version.hpp @ONLY)
add_library(tarnwick_version INTERFACE)
target_include_directories(tarnwick_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
