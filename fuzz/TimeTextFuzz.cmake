# The history viewer's time arguments (--from, --to): a fuzz target of its
# own, with its seed corpus in time-text-seeds/ (one argument per file, as
# typed) replayed as an ordinary test. Included by CMakeLists.txt in both of
# its ways of building.
#
# The parser is a library of its own, so that under libFuzzer it carries the
# coverage instrumentation while the target's own checks do not.
add_library(halvorn_fuzz_time_text_parser STATIC ${CMAKE_CURRENT_SOURCE_DIR}/../tools/history/TimeText.cpp)
target_include_directories(halvorn_fuzz_time_text_parser PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/../tools/history)
# For the record's types that the viewer's times are declared beside.
target_link_libraries(halvorn_fuzz_time_text_parser PUBLIC halvorn_record)
halvorn_warnings(halvorn_fuzz_time_text_parser)

if(HALVORN_LIBFUZZER)
  add_executable(halvorn_fuzz_time_text TimeTextFuzzer.cpp)
  target_compile_options(halvorn_fuzz_time_text PRIVATE -fno-sanitize=fuzzer-no-link)
  target_link_options(halvorn_fuzz_time_text PRIVATE -fsanitize=fuzzer)
  set(halvorn_time_text_harness halvorn_fuzz_time_text)
else()
  add_executable(halvorn_fuzz_time_text_replay TimeTextFuzzer.cpp ReplayMain.cpp)
  set(halvorn_time_text_harness halvorn_fuzz_time_text_replay)
  add_test(NAME fuzz_time_text_seeds_replayed
           COMMAND halvorn_fuzz_time_text_replay ${CMAKE_CURRENT_SOURCE_DIR}/time-text-seeds)
endif()
target_link_libraries(${halvorn_time_text_harness} PRIVATE halvorn_fuzz_time_text_parser)
halvorn_warnings(${halvorn_time_text_harness})
