# The hardening Debian asks of a package (dpkg-buildflags with hardening=+all), for every build
# that is not instrumented: stack protector and stack clash protection, control-flow protection,
# checked libc calls (_FORTIFY_SOURCE, which needs an optimised build), format-string checks,
# and read-only relocations bound at start (RELRO, BIND_NOW). The compiler builds
# position-independent executables by default.
#
# CMake takes CFLAGS, CXXFLAGS and LDFLAGS from the environment but not CPPFLAGS: a packager
# who exports dpkg-buildflags would lose what it puts there, so CPPFLAGS is taken as well.
# Include this before project().
set(CMAKE_CXX_FLAGS_INIT "$ENV{CPPFLAGS}")

function(zuvex_harden)
    if(ZUVEX_SANITIZE OR ZUVEX_FUZZ)
        return()
    endif()
    if(WIN32)
        # A Windows program: address-space randomisation and no executable data (PE flags),
        # the stack protector with its library; ELF's RELRO does not exist there.
        add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
        add_link_options(-fstack-protector-strong LINKER:--dynamicbase,--nxcompat,--high-entropy-va)
        return()
    endif()
    add_compile_options(-fstack-protector-strong -fstack-clash-protection -Wformat
                        -Werror=format-security)
    if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|i.86")
        add_compile_options(-fcf-protection)
    endif()
    # a _FORTIFY_SOURCE from CPPFLAGS or CXXFLAGS stands; otherwise level 2 where optimised
    if(NOT CMAKE_CXX_FLAGS MATCHES "_FORTIFY_SOURCE")
        add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
    endif()
    add_link_options(LINKER:-z,relro LINKER:-z,now)
endfunction()
