# `cpack` on the Windows build: a ZIP a Windows user unpacks anywhere, with
# the program (one static executable, no runtime DLLs), the README and the
# licence, under a folder named by the version.
install(TARGETS larkspire-autoupdate RUNTIME DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION .)
set(CPACK_PACKAGE_NAME larkspire-autoupdate)
set(CPACK_PACKAGE_VENDOR "The Larkspire AutoUpdate developers")
set(CPACK_PACKAGE_FILE_NAME larkspire-autoupdate-${PROJECT_VERSION}-windows-x64)
set(CPACK_GENERATOR ZIP)
set(CPACK_STRIP_FILES ON)
include(CPack)
