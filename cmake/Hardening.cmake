# The hardening Debian builds its packages with (dpkg-buildflags with
# hardening=+all on amd64): position-independent executables, a stack
# protector and stack-clash checks, fortified string and I/O calls, format
# strings checked, and relocations read-only and bound at start (BIND_NOW).
option(LARKSPIRE_HARDENING "Build with Debian's hardening flags" ON)
if(NOT LARKSPIRE_HARDENING OR WIN32 OR NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  return()
endif()
include(CheckPIESupported)
check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
add_compile_options(-fstack-protector-strong -fstack-clash-protection -Wformat -Werror=format-security)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64|i.86")
  add_compile_options(-fcf-protection)
endif()
# Fortifying needs the optimiser; the fuzz build's sanitizers check more
# than it does and do not mix with it.
if(NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
endif()
add_link_options(-Wl,-z,relro -Wl,-z,now)
