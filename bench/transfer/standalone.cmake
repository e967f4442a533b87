# Adds bench/transfer to a build whose top-level list does not name it yet:
# given as CMAKE_PROJECT_INCLUDE, it defers the directory until every target
# of the project exists.
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL add_subdirectory ${CMAKE_SOURCE_DIR}/bench/transfer
               ${CMAKE_BINARY_DIR}/bench/transfer)
