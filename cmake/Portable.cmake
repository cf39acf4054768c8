# The portable build (LUMENFOLD_PORTABLE): plug-in files that load on any x86-64 Linux
# with glibc 2.34 or newer, X11 and GL, and nothing else installed.
#
# Everything else they use is linked in from static archives and hidden, so a host that
# loads its own copies of the same libraries (another Lua, another FreeType) never meets
# ours:
#   lumenfold_system_library(<name> PKG <module> ARCHIVES <file>... [DEFINITIONS <def>...])
#     makes lumenfold::<name>: the pkg-config module in the developer build; in the
#     portable build its headers with the listed archives (in link order) instead.
#   LUMENFOLD_STATIC_DEPS_DIR
#     where scripts/build-static-deps.sh put the archives Debian does not ship
#     position-independent (oscpack, Lua, libpng); built once, at configure time.
#   lumenfold_portable_module(<target>)
#     gives a plug-in module the portable link: libstdc++ and libgcc inside, every
#     archive's names hidden, and the runtime's calls of functions newer than glibc 2.34
#     sent to stand-ins (platform/linux/OlderGlibcFunctions.cpp).

set(LUMENFOLD_STATIC_DEPS_DIR ${PROJECT_BINARY_DIR}/static-deps)
if(LUMENFOLD_PORTABLE)
  execute_process(
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/build-static-deps.sh ${LUMENFOLD_STATIC_DEPS_DIR}
            ${CMAKE_C_COMPILER} ${CMAKE_CXX_COMPILER}
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "scripts/build-static-deps.sh failed; the portable build needs its archives")
  endif()
endif()

# Our own archive when scripts/build-static-deps.sh made one, else Debian's.
function(lumenfold_find_archive variable archive)
  # A variable of the caller's scope would make find_library skip the search.
  unset(archivePath)
  find_library(archivePath NAMES ${archive} NO_CACHE
    PATHS ${LUMENFOLD_STATIC_DEPS_DIR}/lib NO_DEFAULT_PATH)
  if(NOT archivePath)
    find_library(archivePath NAMES ${archive} NO_CACHE)
  endif()
  if(NOT archivePath)
    message(FATAL_ERROR "The portable build needs ${archive} (scripts/install-deps.sh installs it)")
  endif()
  set(${variable} ${archivePath} PARENT_SCOPE)
endfunction()

function(lumenfold_system_library name)
  cmake_parse_arguments(PARSE_ARGV 1 LIB "" "PKG" "ARCHIVES;DEFINITIONS")
  pkg_check_modules(LUMENFOLD_PKG_${name} REQUIRED IMPORTED_TARGET GLOBAL ${LIB_PKG})
  add_library(lumenfold_system_${name} INTERFACE)
  if(NOT LUMENFOLD_PORTABLE)
    target_link_libraries(lumenfold_system_${name} INTERFACE PkgConfig::LUMENFOLD_PKG_${name})
  else()
    target_include_directories(lumenfold_system_${name} SYSTEM INTERFACE ${LUMENFOLD_PKG_${name}_INCLUDE_DIRS})
    target_compile_definitions(lumenfold_system_${name} INTERFACE ${LIB_DEFINITIONS})
    foreach(archive IN LISTS LIB_ARCHIVES)
      lumenfold_find_archive(archiveFile ${archive})
      target_link_libraries(lumenfold_system_${name} INTERFACE ${archiveFile})
    endforeach()
  endif()
  add_library(lumenfold::${name} ALIAS lumenfold_system_${name})
endfunction()

# oscpack comes from Debian only as a shared library; the portable build uses the one
# scripts/build-static-deps.sh compiled from its source package.
function(lumenfold_add_oscpack)
  add_library(oscpack UNKNOWN IMPORTED GLOBAL)
  if(LUMENFOLD_PORTABLE)
    set(library ${LUMENFOLD_STATIC_DEPS_DIR}/lib/liboscpack.a)
    set(includes ${LUMENFOLD_STATIC_DEPS_DIR}/include)
  else()
    find_library(OSCPACK_LIBRARY NAMES oscpack REQUIRED)
    find_path(OSCPACK_INCLUDE_DIR oscpack/osc/OscTypes.h REQUIRED)
    set(library ${OSCPACK_LIBRARY})
    set(includes ${OSCPACK_INCLUDE_DIR})
  endif()
  set_target_properties(oscpack PROPERTIES
    IMPORTED_LOCATION ${library}
    INTERFACE_INCLUDE_DIRECTORIES ${includes})
endfunction()

function(lumenfold_portable_module target)
  if(LUMENFOLD_PORTABLE)
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc -Wl,--exclude-libs,ALL
      -Wl,--wrap=arc4random -Wl,--wrap=_dl_find_object)
    target_link_libraries(${target} PRIVATE lumenfold_older_glibc)
  endif()
endfunction()
