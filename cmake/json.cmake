# d88info writes its JSON with nlohmann::json (Debian: nlohmann-json3-dev):
# a well-kept, header-only library, so it builds unchanged for Windows and
# WebAssembly and adds nothing the programs must ship.  A cross build has no
# package of its own, so it takes the host's headers: a copy of just the
# nlohmann folder, never the host's whole /usr/include (whose C headers
# would shadow the cross compiler's).
if(NOT CMAKE_CROSSCOMPILING)
  find_package(nlohmann_json 3.2 CONFIG QUIET)
endif()
add_library(d88cut_json INTERFACE)
if(TARGET nlohmann_json::nlohmann_json)
  target_link_libraries(d88cut_json INTERFACE nlohmann_json::nlohmann_json)
else()
  find_path(D88CUT_JSON_INCLUDE_DIR nlohmann/json.hpp
            PATHS /usr/include /usr/local/include NO_CMAKE_FIND_ROOT_PATH
            DOC "The folder that holds nlohmann/json.hpp")
  if(NOT D88CUT_JSON_INCLUDE_DIR)
    message(FATAL_ERROR "d88info needs nlohmann::json: apt-get install nlohmann-json3-dev "
                        "(or -DD88CUT_JSON_INCLUDE_DIR=the folder that holds nlohmann/json.hpp)")
  endif()
  set(json_copy ${CMAKE_BINARY_DIR}/third_party/include)
  file(REMOVE_RECURSE ${json_copy}/nlohmann)
  file(COPY ${D88CUT_JSON_INCLUDE_DIR}/nlohmann DESTINATION ${json_copy})
  target_include_directories(d88cut_json SYSTEM INTERFACE ${json_copy})
endif()
