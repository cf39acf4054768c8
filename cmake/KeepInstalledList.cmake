# Runs at the end of every install (cmake --install): adds the files this install wrote
# to the list kept in the build folder, once each. Expects LUMENFOLD_INSTALLED_LIST.

set(installed "")
if(EXISTS "${LUMENFOLD_INSTALLED_LIST}")
  file(STRINGS "${LUMENFOLD_INSTALLED_LIST}" installed)
endif()
# The manifest leaves DESTDIR out; the list names the files where they were written.
foreach(file IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
  list(APPEND installed "$ENV{DESTDIR}${file}")
endforeach()
list(REMOVE_DUPLICATES installed)
list(JOIN installed "\n" content)
file(WRITE "${LUMENFOLD_INSTALLED_LIST}" "${content}\n")
