# Hardened as Debian builds its packages: the compile and link flags dpkg-buildflags gives with
# every hardening feature on (stack protector, _FORTIFY_SOURCE, format checks, relro and
# immediate binding; PIE is the compiler's default). Its -O and -g stay out, so that the build
# type alone sets optimisation and debug information, and so does its -ffile-prefix-map, which
# would map the folder cmake happens to run in. Off in the sanitizer and fuzz builds, whose
# instrumentation _FORTIFY_SOURCE's checked functions would bypass.
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
include(CMakeDependentOption)
cmake_dependent_option(TOLVANE_HARDENING "Build with Debian's hardening flags (dpkg-buildflags)" ON
                       "DPKG_BUILDFLAGS;NOT TOLVANE_SANITIZE;NOT TOLVANE_FUZZ" OFF)
if(TOLVANE_HARDENING)
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                    ${DPKG_BUILDFLAGS} --get ${kind}
            OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
        separate_arguments(flags UNIX_COMMAND "${flags}")
        list(FILTER flags EXCLUDE REGEX "^-O|^-g|^-ffile-prefix-map=")
        set(hardening_${kind} ${flags})
    endforeach()
    # glibc warns that _FORTIFY_SOURCE needs optimisation, which -Werror makes an error: only
    # the optimised build types get it.
    set(hardening_compile)
    foreach(flag ${hardening_CPPFLAGS})
        if(flag MATCHES "^-D_FORTIFY_SOURCE")
            set(flag "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:${flag}>")
        endif()
        list(APPEND hardening_compile "${flag}")
    endforeach()
    list(APPEND hardening_compile ${hardening_CXXFLAGS})
    # Stack clash and control-flow protection are part of the hardening of later dpkg versions;
    # Debian 12's dpkg does not give them yet.
    include(CheckCXXCompilerFlag)
    foreach(flag -fstack-clash-protection -fcf-protection)
        string(MAKE_C_IDENTIFIER "TOLVANE_HAS${flag}" supported)
        check_cxx_compiler_flag(${flag} ${supported})
        if(${supported} AND NOT flag IN_LIST hardening_compile)
            list(APPEND hardening_compile ${flag})
        endif()
    endforeach()
    add_compile_options(${hardening_compile})
    add_link_options(${hardening_LDFLAGS})
    string(REPLACE ";" " " shown "${hardening_compile};${hardening_LDFLAGS}")
    message(STATUS "Hardening: ${shown}")
endif()
