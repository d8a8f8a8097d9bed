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
# from the templates res/exe.manifest.in and res/release.rc.in; a shipped DLL
# the version resource alone.
#
# Use: tarnwick_release_exe(TARGET ASSEMBLY NAME DESCRIPTION TEXT) for each
# shipped exe; NAME is the manifest's assembly name (Tarnwick.Helper), TEXT
# the description Explorer shows. tarnwick_release_dll(TARGET DESCRIPTION TEXT)
# for each shipped DLL.

# TARNWICK_SOURCE_DATE_EPOCH, seconds since 1970 of the commit being built,
# comes from cmake/version.cmake with the build number, from the same place.
if(MINGW)
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

# The version resource (and, for an exe, the manifest) of TARGET, whose file
# is FILE, from res/release.rc.in.
function(tarnwick_release_resources target file file_type manifest_resource)
  set(TARNWICK_INTERNAL_NAME ${target})
  set(TARNWICK_FILE_NAME ${file})
  set(TARNWICK_FILE_TYPE ${file_type})
  set(TARNWICK_MANIFEST_RESOURCE "${manifest_resource}")
  set(rc ${CMAKE_BINARY_DIR}/resources/${target}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/res/release.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

# The release form of TARGET's file FILE (NAME.exe or NAME.dll) on MinGW-w64:
# PE time stamp from SOURCE_DATE_EPOCH, the link map FILE.map, and stripped
# with its debug information in FILE.debug beside it.
function(tarnwick_release_strip target file)
  if(NOT MINGW)
    return()
  endif()
  set(with_epoch ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${TARNWICK_SOURCE_DATE_EPOCH})
  # The linker writes the PE time stamp from SOURCE_DATE_EPOCH.
  set_target_properties(${target} PROPERTIES
    C_LINKER_LAUNCHER "${with_epoch}"
    CXX_LINKER_LAUNCHER "${with_epoch}")
  # FILE keeps only what runs; FILE.debug beside it keeps the debug
  # information, found by debuggers through the .gnu_debuglink section (which
  # holds the file's name and CRC). Both commands would otherwise stamp the
  # file with the current time.
  get_target_property(dir ${target} RUNTIME_OUTPUT_DIRECTORY)
  if(NOT dir)
    set(dir ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  # The link map, FILE.map beside it: which archives gave members to the
  # file. tools/release derives the third-party notices and the SBOM from it.
  target_link_options(${target} PRIVATE "LINKER:-Map=${dir}/${file}.map")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${with_epoch} ${CMAKE_OBJCOPY} --only-keep-debug ${file} ${file}.debug
    COMMAND ${with_epoch} ${CMAKE_STRIP} --strip-all ${file}
    COMMAND ${with_epoch} ${CMAKE_OBJCOPY} --add-gnu-debuglink=${file}.debug ${file}
    WORKING_DIRECTORY ${dir}
    BYPRODUCTS ${dir}/${file}.debug
    COMMENT "Stripping ${file}; debug information in ${file}.debug"
    VERBATIM)
endfunction()

# The stack protector's runtime of the project's own (src/platform/win/
# stack_guard_win.cpp), in each shipped binary itself, not in a library an
# app links: libssp's seeds its guard through ADVAPI32's legacy crypto
# providers at every start, and under the loader lock in a DLL.
function(tarnwick_release_stack_guard target)
  if(MINGW)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/platform/win/stack_guard_win.cpp)
  endif()
endfunction()

function(tarnwick_release_exe target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "ASSEMBLY;DESCRIPTION" "")
  if(NOT arg_ASSEMBLY OR NOT arg_DESCRIPTION)
    message(FATAL_ERROR "tarnwick_release_exe(${target} ASSEMBLY NAME DESCRIPTION TEXT)")
  endif()
  # The variables the manifest's template names.
  set(TARNWICK_EXE ${target})
  set(TARNWICK_ASSEMBLY_NAME ${arg_ASSEMBLY})
  set(TARNWICK_DESCRIPTION ${arg_DESCRIPTION})
  set(manifest ${CMAKE_BINARY_DIR}/resources/${target}/${target}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/res/exe.manifest.in ${manifest} @ONLY)
  tarnwick_release_resources(${target} ${target}.exe VFT_APP "1 24 \"${manifest}\"")
  set_property(SOURCE ${CMAKE_BINARY_DIR}/resources/${target}/${target}.rc APPEND PROPERTY OBJECT_DEPENDS ${manifest})
  tarnwick_release_strip(${target} ${target}.exe)
  tarnwick_release_stack_guard(${target})
endfunction()

# A shipped DLL: version resource, stripped, time stamp and link map as an
# exe, but no manifest (a DLL's manifest would not set the loading process's
# compatibility or long-path awareness) and no SetDefaultDllDirectories call:
# a DLL must not change the DLL search order of the process that loads it.
# Use after setting the target's OUTPUT_NAME, PREFIX and RUNTIME_OUTPUT_DIRECTORY.
function(tarnwick_release_dll target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "DESCRIPTION" "")
  if(NOT arg_DESCRIPTION)
    message(FATAL_ERROR "tarnwick_release_dll(${target} DESCRIPTION TEXT)")
  endif()
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  get_target_property(prefix ${target} PREFIX)
  if(prefix STREQUAL "prefix-NOTFOUND")
    set(prefix ${CMAKE_SHARED_LIBRARY_PREFIX})
  endif()
  set(TARNWICK_DESCRIPTION ${arg_DESCRIPTION})
  tarnwick_release_resources(${target} ${prefix}${name}${CMAKE_SHARED_LIBRARY_SUFFIX} VFT_DLL "")
  tarnwick_release_strip(${target} ${prefix}${name}${CMAKE_SHARED_LIBRARY_SUFFIX})
  tarnwick_release_stack_guard(${target})
endfunction()
