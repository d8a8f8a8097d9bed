# The one version of everything the project ships: project()'s X.Y.Z and a
# build number as the fourth field, X.Y.Z.B. The version resources, the
# manifests, the generated version.hpp (TARNWICK_VERSION, for the programs'
# own --version) and the release's zip names all take it from here.
#
# The build number is the count of commits up to the one being built
# (git rev-list --count): the same for every build of one commit, and growing
# along the history, so installers see a newer build as a newer file. An
# exported tree without git gets it from TARNWICK_BUILD_NUMBER (tools/release
# sets it); a tree with neither gets 0. It must fit in 16 bits, as each
# field of a Windows file version does.

function(tarnwick_build_number out_var)
  if(DEFINED ENV{TARNWICK_BUILD_NUMBER} AND "$ENV{TARNWICK_BUILD_NUMBER}" MATCHES "^[0-9]+$")
    set(number "$ENV{TARNWICK_BUILD_NUMBER}")
  else()
    set(number 0)
    find_package(Git QUIET)
    if(GIT_FOUND)
      execute_process(COMMAND ${GIT_EXECUTABLE} rev-list --count HEAD
                      WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                      OUTPUT_VARIABLE count OUTPUT_STRIP_TRAILING_WHITESPACE
                      RESULT_VARIABLE status ERROR_QUIET)
      if(status EQUAL 0 AND count MATCHES "^[0-9]+$")
        set(number "${count}")
      endif()
      # A new commit or checkout moves HEAD's reflog: configure again then, so
      # that the build number (and the time stamp) follow the commit.
      execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --path-format=absolute --git-path logs/HEAD
                      WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                      OUTPUT_VARIABLE head_log OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
      if(head_log AND EXISTS "${head_log}")
        set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${head_log}")
      endif()
    endif()
  endif()
  if(number GREATER 65535)
    message(FATAL_ERROR "build number ${number} does not fit in a file version's 16-bit field")
  endif()
  set(${out_var} "${number}" PARENT_SCOPE)
endfunction()

tarnwick_build_number(TARNWICK_BUILD_NUMBER)
set(TARNWICK_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${TARNWICK_BUILD_NUMBER}")
message(STATUS "Version: ${TARNWICK_VERSION}")

# version.hpp in the build tree: TARNWICK_VERSION as a string literal.
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.hpp.in ${CMAKE_BINARY_DIR}/generated/version.hpp @ONLY)
add_library(tarnwick_version INTERFACE)
target_include_directories(tarnwick_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
