# CLI11 on Windows: the build machine's headers (libcli11-dev), which are the same on every
# platform. Its own package names /usr/include, which would bring the build machine's C library
# headers into a Windows compile, so only its CLI/ folder is copied into the build tree.
find_path(Q73580_CLI11_INCLUDE CLI/CLI.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT Q73580_CLI11_INCLUDE)
  message(FATAL_ERROR "CLI11's headers were not found in /usr/include: install libcli11-dev")
endif()
file(COPY ${Q73580_CLI11_INCLUDE}/CLI DESTINATION ${PROJECT_BINARY_DIR}/cli11)
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 INTERFACE ${PROJECT_BINARY_DIR}/cli11)
