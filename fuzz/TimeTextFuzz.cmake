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

halvorn_fuzz_target(time_text TimeTextFuzzer.cpp SEEDS ${CMAKE_CURRENT_SOURCE_DIR}/time-text-seeds
                    LIBS halvorn_fuzz_time_text_parser)
