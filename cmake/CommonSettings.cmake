# One interface target carries the language standard, the warnings and the
# sanitizer switches; every target of the project links it.
add_library(ziv_common INTERFACE)
target_compile_features(ziv_common INTERFACE cxx_std_20)
# Headers are named from src/ ("serial/custom_comm.h") everywhere.
target_include_directories(ziv_common INTERFACE ${PROJECT_SOURCE_DIR}/src)
target_compile_options(ziv_common INTERFACE -Wall -Wextra -Wpedantic)
if(ZIV_WERROR)
  target_compile_options(ziv_common INTERFACE -Werror)
endif()
if(ZIV_SANITIZE)
  target_compile_options(ziv_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(ziv_common INTERFACE -fsanitize=address,undefined)
endif()
set(CMAKE_CXX_EXTENSIONS OFF)
