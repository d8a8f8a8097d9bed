# nlohmann/json, header-only, from Debian's nlohmann-json3-dev.
# The package's CMake target would add the host's /usr/include to a cross
# build (and with it glibc's headers), so the cross build sees only the
# nlohmann folder, through a link inside the build tree.
add_library(tarnwick_json INTERFACE)
if(CMAKE_CROSSCOMPILING)
  find_path(TARNWICK_NLOHMANN_DIR nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(json_include ${CMAKE_BINARY_DIR}/third_party/include)
  file(MAKE_DIRECTORY ${json_include})
  file(CREATE_LINK ${TARNWICK_NLOHMANN_DIR}/nlohmann ${json_include}/nlohmann SYMBOLIC)
  target_include_directories(tarnwick_json SYSTEM INTERFACE $<BUILD_INTERFACE:${json_include}>)
else()
  find_package(nlohmann_json 3.11 REQUIRED)  # 3.11: lookups by std::string_view (the client's response check)
  target_link_libraries(tarnwick_json INTERFACE nlohmann_json::nlohmann_json)
endif()
