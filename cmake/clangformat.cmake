# The house style is .clang-format at the top of the tree. `ninja format` rewrites every
# C and C++ file of the project in it; `ninja format-check` (and the test "format_check")
# only says which files differ. Without clang-format both targets say so and do nothing.
find_program(CLANG_FORMAT NAMES clang-format clang-format-14)

file(GLOB_RECURSE QUORVEL_FORMATTED_FILES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/src/*.cpp ${PROJECT_SOURCE_DIR}/src/*.h
  ${PROJECT_SOURCE_DIR}/tests/*.cpp ${PROJECT_SOURCE_DIR}/tests/*.h ${PROJECT_SOURCE_DIR}/tests/*.c
  ${PROJECT_SOURCE_DIR}/bench/*.cpp ${PROJECT_SOURCE_DIR}/bench/*.h ${PROJECT_SOURCE_DIR}/bench/*.c
  ${PROJECT_SOURCE_DIR}/tools/*.cpp ${PROJECT_SOURCE_DIR}/tools/*.h
  ${PROJECT_SOURCE_DIR}/fuzz/*.cpp ${PROJECT_SOURCE_DIR}/fuzz/*.h)

if(CLANG_FORMAT)
  add_custom_target(format
    COMMAND ${CLANG_FORMAT} -i ${QUORVEL_FORMATTED_FILES}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "Formatting the sources with ${CLANG_FORMAT}" VERBATIM)
  add_custom_target(format-check
    COMMAND ${CLANG_FORMAT} --dry-run -Werror ${QUORVEL_FORMATTED_FILES}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "Checking the sources against .clang-format" VERBATIM)
else()
  foreach(target format format-check)
    add_custom_target(${target} COMMAND ${CMAKE_COMMAND} -E echo "clang-format is not installed: scripts/setup installs it")
  endforeach()
endif()
