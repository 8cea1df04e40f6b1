# One INTERFACE target carries the language level, warnings and Qt defines for every target of the project.
add_library(ftptarvo_options INTERFACE)
target_compile_features(ftptarvo_options INTERFACE cxx_std_20)
target_compile_options(ftptarvo_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  $<$<BOOL:${FTPTARVO_WERROR}>:-Werror>)
target_compile_definitions(ftptarvo_options INTERFACE
  QT_NO_FOREACH QT_USE_QSTRINGBUILDER
  FTPTARVO_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  FTPTARVO_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  FTPTARVO_VERSION_PATCH=${PROJECT_VERSION_PATCH})
target_include_directories(ftptarvo_options INTERFACE ${PROJECT_SOURCE_DIR}/src)
