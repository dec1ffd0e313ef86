# Common settings for every target of the project.
function(zanto_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  target_compile_definitions(${target} PRIVATE
    ZANTO_RESOURCE_DIR="${ZANTO_RESOURCE_DIR}"
    QT_NO_KEYWORDS)
endfunction()

# One static library from the sources of one folder (not its subfolders).
#   zanto_library(NAME zanto_marks DEPS zanto_services Qt6::Gui)
function(zanto_library)
  cmake_parse_arguments(ARG "" "NAME" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
    "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  if(NOT sources)
    # A layer with nothing compiled yet still passes its dependencies on.
    add_library(${ARG_NAME} INTERFACE)
    target_include_directories(${ARG_NAME} INTERFACE "${PROJECT_SOURCE_DIR}/src")
    target_link_libraries(${ARG_NAME} INTERFACE ${ARG_DEPS})
    return()
  endif()
  file(GLOB headers CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  add_library(${ARG_NAME} STATIC ${sources} ${headers})
  target_include_directories(${ARG_NAME} PUBLIC "${PROJECT_SOURCE_DIR}/src")
  target_link_libraries(${ARG_NAME} PUBLIC ${ARG_DEPS})
  zanto_target_defaults(${ARG_NAME})
endfunction()

# One GoogleTest executable from the sources of one test folder.
#   zanto_test(NAME test_marks DEPS zanto_marks)
function(zanto_test)
  cmake_parse_arguments(ARG "" "NAME" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  if(NOT sources)
    return()
  endif()
  add_executable(${ARG_NAME} ${sources})
  target_include_directories(${ARG_NAME} PRIVATE "${PROJECT_SOURCE_DIR}/tests" "${CMAKE_CURRENT_SOURCE_DIR}")
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main Threads::Threads)
  zanto_target_defaults(${ARG_NAME})
  target_compile_definitions(${ARG_NAME} PRIVATE
    ZANTO_SHARED_DATA_DIR="${ZANTO_SHARED_DATA_DIR}"
    ZANTO_TEST_OUTPUT_DIR="${PROJECT_BINARY_DIR}/test-output")
  gtest_discover_tests(${ARG_NAME}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8" TIMEOUT 600)
endfunction()
