# Common settings for every target of the project.
function(zanto_target_defaults target)
  # Designated initialisers that leave fields at their defaults are how the
  # models are meant to be built, so that one -Wextra warning is off.
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-missing-field-initializers)
  target_compile_definitions(${target} PRIVATE
    ZANTO_RESOURCE_DIR="${ZANTO_RESOURCE_DIR}"
    QT_NO_KEYWORDS)
endfunction()

# One static library from the sources of one folder (not its subfolders).
#   zanto_library(NAME zanto_marks DEPS zanto_services Qt6::Gui)
# PRIVATE_DEPS are linked without passing their include paths upward: the C
# libraries a layer wraps stay inside it.
function(zanto_library)
  cmake_parse_arguments(ARG "" "NAME" "DEPS;PRIVATE_DEPS" ${ARGN})
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
  target_link_libraries(${ARG_NAME} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  zanto_target_defaults(${ARG_NAME})
endfunction()

# One GoogleTest executable per *Test.cpp file of a test folder, so that one
# unfinished test file never stops the others from building.
#   zanto_test(NAME marks DEPS zanto_marks)  ->  test_marks_<File>
function(zanto_test)
  cmake_parse_arguments(ARG "" "NAME" "DEPS" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*Test.cpp")
  foreach(test_source ${tests})
    get_filename_component(stem ${test_source} NAME_WE)
    set(target test_${ARG_NAME}_${stem})
    add_executable(${target} ${test_source})
    target_include_directories(${target} PRIVATE "${PROJECT_SOURCE_DIR}/tests" "${CMAKE_CURRENT_SOURCE_DIR}")
    target_link_libraries(${target} PRIVATE ${ARG_DEPS} zanto_testsupport GTest::gtest GTest::gtest_main Threads::Threads)
    zanto_target_defaults(${target})
    zanto_test_definitions(${target})
    gtest_discover_tests(${target}
      DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8" TIMEOUT 600)
  endforeach()
endfunction()

function(zanto_test_definitions target)
  target_compile_definitions(${target} PRIVATE
    ZANTO_SHARED_DATA_DIR="${ZANTO_SHARED_DATA_DIR}"
    ZANTO_TEST_OUTPUT_DIR="${PROJECT_BINARY_DIR}/test-output")
endfunction()
