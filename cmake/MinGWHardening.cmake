# Hardened as MinGW-w64 hardens Windows programs (Debian's dpkg-buildflags are for ELF, and the
# MinGW linker rejects their -z relro and -z now): the stack protector, whose runtime GCC links
# as libssp when the flag is on the link line; _FORTIFY_SOURCE, which uses the same runtime and
# needs optimisation, so only the optimised build types get it; and an image that takes ASLR
# with 64-bit addresses and DEP. Off in the sanitizer and fuzz builds, as on Linux.
include(CMakeDependentOption)
cmake_dependent_option(TOLVANE_HARDENING "Build with MinGW's hardening flags" ON
                       "NOT TOLVANE_SANITIZE;NOT TOLVANE_FUZZ" OFF)
if(TOLVANE_HARDENING)
    set(hardening_compile -fstack-protector-strong
        "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-D_FORTIFY_SOURCE=2>")
    set(hardening_link -fstack-protector-strong -Wl,--dynamicbase,--nxcompat,--high-entropy-va)
    add_compile_options(${hardening_compile})
    add_link_options(${hardening_link})
    string(REPLACE ";" " " shown "${hardening_compile};${hardening_link}")
    message(STATUS "Hardening: ${shown}")
endif()
