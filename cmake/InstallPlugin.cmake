# Runs at install time (cmake --install), so that the plug-in lands where hosts look on
# the installing machine: the first folder of LXVST_PATH, else of VST_PATH, else ~/.vst
# for a prefix inside the home folder, else <prefix>/lib/lxvst. The copy is stripped of
# symbols and debug information. Expects LUMENFOLD_PLUGIN_FILE and LUMENFOLD_STRIP.

function(first_folder_of variable result)
  set(value "$ENV{${variable}}")
  if(value STREQUAL "")
    set(${result} "" PARENT_SCOPE)
    return()
  endif()
  string(REPLACE ":" ";" folders "${value}")
  list(GET folders 0 first)
  set(${result} "${first}" PARENT_SCOPE)
endfunction()

first_folder_of(LXVST_PATH destination)
if(destination STREQUAL "")
  first_folder_of(VST_PATH destination)
endif()
if(destination STREQUAL "")
  file(REAL_PATH "$ENV{HOME}" home)
  file(REAL_PATH "${CMAKE_INSTALL_PREFIX}" prefix)
  string(FIND "${prefix}/" "${home}/" at)
  if(NOT "$ENV{HOME}" STREQUAL "" AND at EQUAL 0)
    set(destination "${home}/.vst")
  else()
    set(destination "${CMAKE_INSTALL_PREFIX}/lib/lxvst")
  endif()
endif()

file(INSTALL DESTINATION "$ENV{DESTDIR}${destination}" TYPE MODULE FILES "${LUMENFOLD_PLUGIN_FILE}")
get_filename_component(name "${LUMENFOLD_PLUGIN_FILE}" NAME)
if(LUMENFOLD_STRIP)
  execute_process(COMMAND "${LUMENFOLD_STRIP}" --strip-unneeded "$ENV{DESTDIR}${destination}/${name}"
                  RESULT_VARIABLE stripped)
  if(NOT stripped EQUAL 0)
    message(FATAL_ERROR "cannot strip ${destination}/${name}")
  endif()
endif()
message(STATUS "Plug-in for hosts: ${destination}/${name}")
