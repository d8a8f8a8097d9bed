# The shipped form of a Windows exe built with MinGW-w64: reproducible and
# stripped, its debug information in a file beside it.
#
# Reproducible: two builds of the same commit in different folders give
# byte-identical files. Three things would differ otherwise:
#   - paths of the source and build folders, which compilers write into debug
#     information and expand in __FILE__: mapped to fixed names below;
#   - the PE header's time stamp, which the linker, strip and objcopy set to
#     the current time unless SOURCE_DATE_EPOCH is set: set to the time of the
#     commit being built;
#   - the debug file's CRC in the exe's .gnu_debuglink section, which follows
#     from the two above.
#
# Use: tarnwick_release_exe(TARGET) for each shipped exe.

# Seconds since 1970 of the commit being built: SOURCE_DATE_EPOCH when the
# environment gives it (tools/release and tools/check-reproducible build an
# exported tree without git), else the commit time of HEAD, else 0.
function(tarnwick_source_date_epoch out_var)
  if(DEFINED ENV{SOURCE_DATE_EPOCH} AND "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
    set(${out_var} "$ENV{SOURCE_DATE_EPOCH}" PARENT_SCOPE)
    return()
  endif()
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE status ERROR_QUIET)
    # A new commit or checkout moves HEAD's reflog: configure again then, so
    # that the time stamp follows the commit.
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --path-format=absolute --git-path logs/HEAD
                    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE head_log OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(head_log AND EXISTS "${head_log}")
      set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${head_log}")
    endif()
    if(status EQUAL 0 AND epoch MATCHES "^[0-9]+$")
      set(${out_var} "${epoch}" PARENT_SCOPE)
      return()
    endif()
  endif()
  set(${out_var} 0 PARENT_SCOPE)
endfunction()

if(MINGW)
  tarnwick_source_date_epoch(TARNWICK_SOURCE_DATE_EPOCH)
  message(STATUS "Release time stamp (SOURCE_DATE_EPOCH): ${TARNWICK_SOURCE_DATE_EPOCH}")

  # Every object of the project, since the libraries end up in the exe.
  # Debug information for the separate debug file (-g does not change the
  # code GCC generates). GCC takes the last matching map first, so the build
  # folder (which may lie inside the source folder) comes last.
  add_compile_options(
    -g
    "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=."
    "-ffile-prefix-map=${CMAKE_BINARY_DIR}=build")

  if(NOT CMAKE_OBJCOPY OR NOT CMAKE_STRIP)
    message(FATAL_ERROR "objcopy and strip of the MinGW-w64 toolchain are needed for the release exe")
  endif()
endif()

function(tarnwick_release_exe target)
  if(NOT MINGW)
    return()
  endif()
  set(with_epoch ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${TARNWICK_SOURCE_DATE_EPOCH})
  # The linker writes the PE time stamp from SOURCE_DATE_EPOCH.
  set_target_properties(${target} PROPERTIES
    C_LINKER_LAUNCHER "${with_epoch}"
    CXX_LINKER_LAUNCHER "${with_epoch}")
  # NAME.exe keeps only what runs; NAME.exe.debug beside it keeps the debug
  # information, found by debuggers through the .gnu_debuglink section (which
  # holds the file's name and CRC). Both commands would otherwise stamp the
  # exe with the current time.
  set(exe $<TARGET_FILE_NAME:${target}>)
  get_target_property(exe_dir ${target} RUNTIME_OUTPUT_DIRECTORY)
  if(NOT exe_dir)
    set(exe_dir ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${with_epoch} ${CMAKE_OBJCOPY} --only-keep-debug ${exe} ${exe}.debug
    COMMAND ${with_epoch} ${CMAKE_STRIP} --strip-all ${exe}
    COMMAND ${with_epoch} ${CMAKE_OBJCOPY} --add-gnu-debuglink=${exe}.debug ${exe}
    WORKING_DIRECTORY ${exe_dir}
    BYPRODUCTS ${exe_dir}/${target}.exe.debug
    COMMENT "Stripping ${target}; debug information in ${target}.exe.debug"
    VERBATIM)
endfunction()
