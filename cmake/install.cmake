# What `cmake --install build/windows --prefix P` puts in P:
#   include/tarnwick_client.h, bin/tarnwick-client.dll, lib/tarnwick-client.lib
#   (MSVC), lib/libtarnwick-client.dll.a (MinGW), lib/tarnwick_client.def:
#   the C interface, for any compiler and language (in CMake, the target
#   tarnwick::c_api);
#   include/tarnwick/ and the static libraries in lib/: the C++ library, for
#   apps built with MinGW-w64 through CMake:
#     find_package(tarnwick CONFIG REQUIRED)
#     target_link_libraries(app PRIVATE tarnwick::client)
#   bin/tarnwick-helper.exe and bin/tarnwick-client.exe.
# The C++ target carries what an app's link needs: the system libraries and
# the static runtime (-static), so that the app imports Windows DLLs only.

include(CMakePackageConfigHelpers)

set(tarnwick_package_dir lib/cmake/tarnwick)

# The C++ library's public headers: the Client, its runner, and what they
# include.
install(FILES src/client/client.hpp src/client/client_error.hpp src/client/helper_runner.hpp
              src/client/helper_runner_win.hpp src/client/request.hpp src/client/response_check.hpp
              src/client/startup_entry.hpp src/client/entry_lookup.hpp
        DESTINATION include/tarnwick/client)
install(FILES src/common/result.hpp src/common/invariant.hpp DESTINATION include/tarnwick/common)

target_compile_features(tarnwick_client_win PUBLIC cxx_std_20)
target_link_libraries(tarnwick_client_win PUBLIC uuid)
if(MINGW)
  # The libraries are built with the stack protector: its runtime comes with
  # the app's link (GCC's libssp, statically like the rest; the project's own
  # runtime is only in its shipped binaries).
  target_link_options(tarnwick_client_win INTERFACE -static -fstack-protector-strong)
endif()
# The client's closure: the layers it links (cmake/layers.cmake), none of the
# helper's.
set(tarnwick_client_closure tarnwick_client_win tarnwick_client tarnwick_platform_win tarnwick_platform
                            tarnwick_common tarnwick_wire tarnwick_json tarnwick_warnings)
foreach(target ${tarnwick_client_closure})
  string(REGEX REPLACE "^tarnwick_" "" name ${target})
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${name})
endforeach()
set_target_properties(tarnwick_client_win PROPERTIES EXPORT_NAME client)
set_target_properties(tarnwick_client PROPERTIES EXPORT_NAME client_portable)

install(TARGETS ${tarnwick_client_closure}
        EXPORT tarnwick-targets
        RUNTIME DESTINATION bin
        LIBRARY DESTINATION lib
        ARCHIVE DESTINATION lib
        INCLUDES DESTINATION include/tarnwick)
# tarnwick::c_api is defined by the package's config file itself (for MinGW
# and for MSVC-target builds, whose import libraries differ), not exported.
install(TARGETS tarnwick_client_dll RUNTIME DESTINATION bin ARCHIVE DESTINATION lib)
install(FILES include/tarnwick_client.h DESTINATION include)
install(FILES ${CMAKE_BINARY_DIR}/tarnwick-client.lib src/client/c_api/tarnwick_client.def DESTINATION lib)
install(TARGETS tarnwick-helper tarnwick-client RUNTIME DESTINATION bin)

install(EXPORT tarnwick-targets NAMESPACE tarnwick:: DESTINATION ${tarnwick_package_dir})
configure_package_config_file(cmake/tarnwick-config.cmake.in ${CMAKE_BINARY_DIR}/tarnwick-config.cmake
                              INSTALL_DESTINATION ${tarnwick_package_dir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/tarnwick-config-version.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/tarnwick-config.cmake ${CMAKE_BINARY_DIR}/tarnwick-config-version.cmake
        DESTINATION ${tarnwick_package_dir})
