# Shared compile settings and the two helpers every target of the project goes through.

function(examora_apply_settings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                           -Wold-style-cast -Wcast-align -Woverloaded-virtual
                                           -Wconversion -Wno-sign-conversion)
  if(EXAMORA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(EXAMORA_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all
                                             -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  # The fuzzing build (clang): every library carries libFuzzer's coverage and the sanitizers; the
  # fuzz targets alone link libFuzzer's main.
  if(EXAMORA_FUZZ)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined
                                             -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# examora_add_library(NAME SOURCES ... LIBS ...)
function(examora_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  examora_apply_settings(${name})
endfunction()

# examora_add_test(NAME LABEL label SOURCES ... LIBS ...)
# One GoogleTest binary, its cases discovered when CTest runs and tagged with the label.
function(examora_add_test name)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
  examora_apply_settings(${name})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS ${ARG_LABEL} TIMEOUT 300)
endfunction()
