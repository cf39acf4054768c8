# What `cmake --install` puts where. A plain configure installs for the current user
# (prefix ~/.local, no root needed): tools in bin/, documentation, example scripts and
# skins under share/, and the plug-in where hosts look (cmake/InstallPlugin.cmake).
# The install manifest (install_manifest.txt in the build folder) lists every file, for
# uninstalling.

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX "$ENV{HOME}/.local" CACHE PATH "Install prefix (the user's own by default)" FORCE)
endif()

install(TARGETS lumenfold-render lumenfold-host lumenfold-live RUNTIME DESTINATION bin)
install(FILES README.md DESTINATION share/doc/lumenfold)
install(DIRECTORY docs/ DESTINATION share/doc/lumenfold FILES_MATCHING PATTERN "*.md")
install(DIRECTORY examples/scripts/ DESTINATION share/lumenfold/examples/scripts)
install(DIRECTORY examples/skins/ DESTINATION share/lumenfold/skins)
install(CODE "set(LUMENFOLD_PLUGIN_FILE \"$<TARGET_FILE:Lumenfold>\")\nset(LUMENFOLD_STRIP \"${CMAKE_STRIP}\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/InstallPlugin.cmake)
