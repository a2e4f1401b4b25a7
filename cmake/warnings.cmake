# Warnings and Qt defines shared by every target of the project.
add_library(q73580_options INTERFACE)
target_compile_options(q73580_options INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(q73580_options INTERFACE
  QT_NO_CAST_TO_ASCII
  QT_NO_URL_CAST_FROM_STRING
  QT_NO_FOREACH
  QT_NO_CONTEXTLESS_CONNECT)
