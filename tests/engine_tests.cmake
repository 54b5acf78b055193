# The engine's tests, one list for the native suite (tests/CMakeLists.txt)
# and the arm64 one (tests/arm64/CMakeLists.txt). The rounding is proven
# against the x87 unit, which only x86-64 has.
set(ENGINE_TEST_SOURCES network_test.cpp backprop_test.cpp training_test.cpp fast_engine_test.cpp
  learning_test.cpp)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  list(APPEND ENGINE_TEST_SOURCES rounding_test.cpp)
endif()
list(TRANSFORM ENGINE_TEST_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
set(ENGINE_TEST_LIBS engine fast_testing)
