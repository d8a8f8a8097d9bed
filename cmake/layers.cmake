# The layers of src/ as libraries whose include roots show only what they may
# use. Every layer gets its own include root in the build tree, holding links
# to its own folders under src/ and nothing else; a layer's root is PUBLIC, so
# a target sees the headers of exactly the layers it links (directly or not).
# An include of a layer it does not link ("elevate/..." from the engine, say)
# finds no file and the build stops there.

set(TARNWICK_INCLUDE_ROOTS ${CMAKE_BINARY_DIR}/include)

# The include root of `target`, linking src/<dir> for each of `dirs` (a dir
# may be nested: elevate/request/json). Where links cannot be made (a Windows
# host without the right to make them), the whole of src/ is the root and
# only the include-direction tests guard the layers.
function(tarnwick_include_root target scope)
  set(root ${TARNWICK_INCLUDE_ROOTS}/${target})
  set(ok TRUE)
  foreach(dir ${ARGN})
    get_filename_component(parent ${root}/${dir} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    if(NOT IS_SYMLINK ${root}/${dir})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${dir} ${root}/${dir} SYMBOLIC RESULT result)
      if(NOT result EQUAL 0)
        set(ok FALSE)
      endif()
    endif()
  endforeach()
  # Build tree only: an installed layer's headers are under include/tarnwick
  # (cmake/install.cmake).
  if(ok)
    target_include_directories(${target} ${scope} $<BUILD_INTERFACE:${root}>)
  else()
    message(STATUS "${target}: no links in the build tree (${result}); src/ is its include root")
    target_include_directories(${target} ${scope} $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/src>)
  endif()
endfunction()

# tarnwick_layer(<target> DIRS <dir>... [LINKS <lib>...] [PRIVATE_LINKS <lib>...])
# The portable sources of src/<dir>/ (not those of its subfolders, not
# *_win.cpp): a static library, or an INTERFACE one when there are none.
function(tarnwick_layer target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "DIRS;LINKS;PRIVATE_LINKS")
  set(sources "")
  foreach(dir ${arg_DIRS})
    file(GLOB found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${dir}/*.cpp)
    list(FILTER found EXCLUDE REGEX "_win\\.cpp$")
    list(APPEND sources ${found})
  endforeach()
  if(sources)
    add_library(${target} STATIC ${sources})
    tarnwick_include_root(${target} PUBLIC ${arg_DIRS})
    target_link_libraries(${target} PUBLIC ${arg_LINKS} PRIVATE ${arg_PRIVATE_LINKS} tarnwick_warnings)
  else()
    add_library(${target} INTERFACE)
    tarnwick_include_root(${target} INTERFACE ${arg_DIRS})
    target_link_libraries(${target} INTERFACE ${arg_LINKS} ${arg_PRIVATE_LINKS})
  endif()
endfunction()

# tarnwick_layer_win(<target> <dir> LINKS <lib>...)
# The *_win.cpp files of src/<dir>/ and its subfolders but the exes' entry
# points (main_win.cpp) and the DLL's; its headers are those of the portable
# layer it links.
function(tarnwick_layer_win target dir)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "LINKS")
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${dir}/*_win.cpp)
  list(FILTER sources EXCLUDE REGEX "/main_win\\.cpp$")
  list(FILTER sources EXCLUDE REGEX "/stack_guard_win\\.cpp$")  # in each shipped binary (cmake/release.cmake)
  list(FILTER sources EXCLUDE REGEX "/client/c_api/")  # tarnwick-client.dll (src/client/c_api/CMakeLists.txt)
  add_library(${target} STATIC ${sources})
  target_link_libraries(${target} PUBLIC ${arg_LINKS} PRIVATE tarnwick_warnings)
endfunction()
