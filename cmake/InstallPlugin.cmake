# Runs at install time (cmake --install), so that each plug-in format lands where hosts
# look on the installing machine, by one rule for all three: the first folder of the
# format's search variable (LXVST_PATH then VST_PATH, CLAP_PATH, LV2_PATH), else the
# user's folder (~/.vst, ~/.clap, ~/.lv2) for a prefix inside the home folder, else
# <prefix>/lib/vst, lib/clap or lib/lv2 (the folders hosts search under /usr and
# /usr/local). The binaries are stripped of symbols and debug information.
# Expects LUMENFOLD_VST_FILE, LUMENFOLD_CLAP_FILE, LUMENFOLD_LV2_BUNDLE and LUMENFOLD_STRIP.

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

function(prefix_is_inside_home result)
  set(${result} FALSE PARENT_SCOPE)
  if("$ENV{HOME}" STREQUAL "")
    return()
  endif()
  file(REAL_PATH "$ENV{HOME}" home)
  file(REAL_PATH "${CMAKE_INSTALL_PREFIX}" prefix)
  string(FIND "${prefix}/" "${home}/" at)
  # A home folder of / (some system accounts) would hold every prefix.
  if(at EQUAL 0 AND NOT home STREQUAL "/")
    set(${result} TRUE PARENT_SCOPE)
  endif()
endfunction()

# The folder one format goes to: search_variables in order, then user_folder (under the
# home folder) or system_folder (under lib/ of the prefix).
function(plugin_destination search_variables user_folder system_folder result)
  foreach(variable IN LISTS search_variables)
    first_folder_of(${variable} destination)
    if(NOT destination STREQUAL "")
      set(${result} "${destination}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  prefix_is_inside_home(inside)
  if(inside)
    file(REAL_PATH "$ENV{HOME}" home)
    set(${result} "${home}/${user_folder}" PARENT_SCOPE)
  else()
    set(${result} "${CMAKE_INSTALL_PREFIX}/lib/${system_folder}" PARENT_SCOPE)
  endif()
endfunction()

function(strip_installed binary)
  if(NOT LUMENFOLD_STRIP)
    return()
  endif()
  execute_process(COMMAND "${LUMENFOLD_STRIP}" --strip-unneeded "$ENV{DESTDIR}${binary}"
                  RESULT_VARIABLE stripped)
  if(NOT stripped EQUAL 0)
    message(FATAL_ERROR "cannot strip ${binary}")
  endif()
endfunction()

function(install_plugin_file file destination)
  file(INSTALL DESTINATION "${destination}" TYPE MODULE FILES "${file}")  # adds DESTDIR itself
  get_filename_component(name "${file}" NAME)
  strip_installed("${destination}/${name}")
  message(STATUS "Plug-in for hosts: ${destination}/${name}")
  # file(INSTALL) lists what it wrote in this scope: hand it on to the install manifest.
  set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
endfunction()

function(install_plugin_bundle bundle binary_name destination)
  file(INSTALL DESTINATION "${destination}" TYPE DIRECTORY FILES "${bundle}")
  get_filename_component(name "${bundle}" NAME)
  strip_installed("${destination}/${name}/${binary_name}")
  message(STATUS "Plug-in for hosts: ${destination}/${name}")
  # file(INSTALL) lists what it wrote in this scope: hand it on to the install manifest.
  set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
endfunction()

plugin_destination("LXVST_PATH;VST_PATH" .vst vst vst_folder)
install_plugin_file("${LUMENFOLD_VST_FILE}" "${vst_folder}")
plugin_destination(CLAP_PATH .clap clap clap_folder)
install_plugin_file("${LUMENFOLD_CLAP_FILE}" "${clap_folder}")
plugin_destination(LV2_PATH .lv2 lv2 lv2_folder)
install_plugin_bundle("${LUMENFOLD_LV2_BUNDLE}" Lumenfold.so "${lv2_folder}")
