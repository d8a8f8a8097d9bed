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
# Every shipped exe also carries, on any Windows toolchain, a manifest and a
# version resource made from the project's one version (cmake/version.cmake),
# from the templates res/exe.manifest.in and res/exe.rc.in.
#
# Use: tarnwick_release_exe(TARGET ASSEMBLY NAME DESCRIPTION TEXT) for each
# shipped exe; NAME is the manifest's assembly name (Tarnwick.Helper), TEXT
# the description Explorer shows.

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
    # cmake/version.cmake makes a new commit or checkout configure again.
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE status ERROR_QUIET)
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

  # Hardening the toolchain gives, on top of ASLR, high-entropy VA and DEP
  # (set with -static in CMakeLists.txt), checked by tools/check-exe:
  #   - a stack protector (canary) in every function with a local array or an
  #     address taken; GCC's libssp is linked statically (-static), so the exe
  #     still imports Windows DLLs only;
  #   - the terminal-server-aware flag (no per-session INI/registry mapping).
  # Not available: CET shadow-stack compatibility (binutils 2.40's ld has no
  # option to mark it) and Control Flow Guard (GCC cannot emit it).
  add_compile_options(-fstack-protector-strong)
  add_link_options(-fstack-protector-strong -Wl,--tsaware)

  if(NOT CMAKE_OBJCOPY OR NOT CMAKE_STRIP)
    message(FATAL_ERROR "objcopy and strip of the MinGW-w64 toolchain are needed for the release exe")
  endif()
endif()

function(tarnwick_release_exe target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "ASSEMBLY;DESCRIPTION" "")
  if(NOT arg_ASSEMBLY OR NOT arg_DESCRIPTION)
    message(FATAL_ERROR "tarnwick_release_exe(${target} ASSEMBLY NAME DESCRIPTION TEXT)")
  endif()
  # The variables the templates name.
  set(TARNWICK_EXE ${target})
  set(TARNWICK_ASSEMBLY_NAME ${arg_ASSEMBLY})
  set(TARNWICK_DESCRIPTION ${arg_DESCRIPTION})
  set(resources ${CMAKE_BINARY_DIR}/resources/${target})
  set(TARNWICK_MANIFEST ${resources}/${target}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/res/exe.manifest.in ${TARNWICK_MANIFEST} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/res/exe.rc.in ${resources}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${resources}/${target}.rc)
  set_property(SOURCE ${resources}/${target}.rc APPEND PROPERTY OBJECT_DEPENDS ${TARNWICK_MANIFEST})

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
  # The link map, NAME.exe.map beside it: which archives gave members to the
  # exe. tools/release derives the third-party notices and the SBOM from it.
  target_link_options(${target} PRIVATE "LINKER:-Map=${exe_dir}/${target}.exe.map")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${with_epoch} ${CMAKE_OBJCOPY} --only-keep-debug ${exe} ${exe}.debug
    COMMAND ${with_epoch} ${CMAKE_STRIP} --strip-all ${exe}
    COMMAND ${with_epoch} ${CMAKE_OBJCOPY} --add-gnu-debuglink=${exe}.debug ${exe}
    WORKING_DIRECTORY ${exe_dir}
    BYPRODUCTS ${exe_dir}/${target}.exe.debug
    COMMENT "Stripping ${target}; debug information in ${target}.exe.debug"
    VERBATIM)
endfunction()
