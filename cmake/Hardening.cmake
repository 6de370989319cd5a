# Debian's hardening flags as dpkg-buildflags gives them with every feature on: stack protector,
# FORTIFY, format checks, RELRO and BIND_NOW; PIE comes with position-independent code. Without
# dpkg-buildflags the set that Debian 12's gives is used.
# Optimisation and debug information stay the build type's. The file prefix map is left out:
# it names the source folder, and another checkout of the same sources would miss the cache.
set(harden_compile -fstack-protector-strong -Wformat -Werror=format-security -Wdate-time
    -D_FORTIFY_SOURCE=2)
set(harden_link -Wl,-z,relro -Wl,-z,now)

find_program(KESTRINE_DPKG_BUILDFLAGS dpkg-buildflags)
if(KESTRINE_DPKG_BUILDFLAGS)
  set(harden_compile)
  set(harden_link)
  foreach(kind CXXFLAGS CPPFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${KESTRINE_DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-(g|O).*|^-f(file|debug|macro)-prefix-map=")
    if(kind STREQUAL "LDFLAGS")
      list(APPEND harden_link ${flags})
    else()
      list(APPEND harden_compile ${flags})
    endif()
  endforeach()
endif()

# FORTIFY needs an optimised build; a debug build would only warn about it.
set(optimised $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
foreach(flag IN LISTS harden_compile)
  if(flag MATCHES "^-D_FORTIFY_SOURCE")
    add_compile_options($<${optimised}:${flag}>)
  else()
    add_compile_options(${flag})
  endif()
endforeach()
add_link_options(${harden_link})

include(CheckPIESupported)
check_pie_supported()
