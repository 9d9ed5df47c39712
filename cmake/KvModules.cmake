# Sources are picked up by directory, so adding a file needs no edit here.
function(kv_glob_sources out)
  set(files)
  foreach(dir IN LISTS ARGN)
    file(GLOB found CONFIGURE_DEPENDS ${dir}/*.cpp)
    list(APPEND files ${found})
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# One GoogleTest executable per test directory, linked against the given libraries.
function(kv_test_suite name dir)
  kv_glob_sources(srcs ${dir})
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${ARGN} kvtestsupport GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "KV_BIN_DIR=${CMAKE_RUNTIME_OUTPUT_DIRECTORY};QT_QPA_PLATFORM=offscreen")
endfunction()
