# Warnings and Qt defines shared by every target of the project.
add_library(q73580_options INTERFACE)
target_compile_options(q73580_options INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(q73580_options INTERFACE
  QT_NO_CAST_TO_ASCII
  QT_NO_URL_CAST_FROM_STRING
  QT_NO_FOREACH
  QT_NO_CONTEXTLESS_CONNECT)

# g++ 12 reports false -Wrestrict overlaps inside libstdc++'s string concatenation at -O2
# (GCC bug 105329); keep it from failing optimised builds.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(q73580_options INTERFACE -Wno-restrict)
endif()
