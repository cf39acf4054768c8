# What `cmake --install` puts where. A plain configure installs for the current user
# (prefix ~/.local, no root needed): tools in bin/, documentation, example scripts and
# skins under share/, and the plug-in where hosts look (cmake/InstallPlugin.cmake).
# Every install's files are added to installed_files.txt in the build folder, so that
# scripts/uninstall.sh BUILD_DIR removes what any number of installs put in place.

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX "$ENV{HOME}/.local" CACHE PATH "Install prefix (the user's own by default)" FORCE)
endif()

install(TARGETS lumenfold-render lumenfold-host lumenfold-live RUNTIME DESTINATION bin)
install(FILES README.md DESTINATION share/doc/lumenfold)
install(DIRECTORY docs/ DESTINATION share/doc/lumenfold FILES_MATCHING PATTERN "*.md")
install(DIRECTORY examples/scripts/ DESTINATION share/lumenfold/examples/scripts)
install(DIRECTORY examples/skins/ DESTINATION share/lumenfold/skins)
install(CODE "set(LUMENFOLD_VST_FILE \"$<TARGET_FILE:Lumenfold>\")
set(LUMENFOLD_CLAP_FILE \"$<TARGET_FILE:LumenfoldClap>\")
set(LUMENFOLD_LV2_BUNDLE \"$<TARGET_FILE_DIR:LumenfoldLv2>\")
set(LUMENFOLD_STRIP \"${CMAKE_STRIP}\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/InstallPlugin.cmake)
# Last: every install adds its files to a list kept in the build folder, which
# install_manifest.txt (rewritten by each install) is not; scripts/uninstall.sh reads it.
install(CODE "set(LUMENFOLD_INSTALLED_LIST \"${PROJECT_BINARY_DIR}/installed_files.txt\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/KeepInstalledList.cmake)
