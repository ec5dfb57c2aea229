# The Windows installer: `cpack -G NSIS` in a Windows build tree (scripts/windows.sh does it all). The read-only
# files go to the installation folder, laid out as beside the executable in the build tree, with the DLLs they
# need; the writable ones (cfg/, log/, the bench) live in a data folder under ProgramData that the installer
# names in data-location and creates when missing. An upgrade or an uninstall leaves that folder alone.

# Folders the build takes DLLs from (Qt's bin/, the cross-built libraries' bin/, the compiler's runtime).
set(DOVERARIZ_WINDOWS_DLL_DIRS "" CACHE STRING "Folders holding the DLLs the Windows programs need")
set(doverariz_windows_dlls
    Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6Network.dll
    libpq.dll libzip.dll libfreexl-1.dll zlib1.dll
    libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll)
set(doverariz_dll_files "")
foreach(dll IN LISTS doverariz_windows_dlls)
    find_file(doverariz_dll_${dll} NAMES ${dll} PATHS ${DOVERARIZ_WINDOWS_DLL_DIRS} NO_DEFAULT_PATH
              NO_CMAKE_FIND_ROOT_PATH)
    if(doverariz_dll_${dll})
        list(APPEND doverariz_dll_files "${doverariz_dll_${dll}}")
    else()
        message(WARNING "${dll} not found in DOVERARIZ_WINDOWS_DLL_DIRS: the installer goes without it")
    endif()
endforeach()

install(TARGETS doverariz handset ledger xlscells tgtlink-conformance RUNTIME DESTINATION .)
install(TARGETS tgtlink_backend_bench tgtlink_backend_serial LIBRARY DESTINATION . RUNTIME DESTINATION .)
install(FILES "${PROJECT_SOURCE_DIR}/tgtlink/include/tgtlink/tgtlink_backend.h" DESTINATION include)
install(FILES ${doverariz_dll_files} DESTINATION .)
# Qt's plugins: the platform (and offscreen, for checks without a desktop) and the native style.
get_target_property(doverariz_qtcore_dll Qt6::Core IMPORTED_LOCATION_RELEASE)
if(NOT doverariz_qtcore_dll)
    get_target_property(doverariz_qtcore_dll Qt6::Core IMPORTED_LOCATION)
endif()
get_filename_component(doverariz_qt_prefix "${doverariz_qtcore_dll}" DIRECTORY)
get_filename_component(doverariz_qt_prefix "${doverariz_qt_prefix}" DIRECTORY)
install(FILES "${doverariz_qt_prefix}/plugins/platforms/qwindows.dll"
              "${doverariz_qt_prefix}/plugins/platforms/qoffscreen.dll" DESTINATION platforms)
install(DIRECTORY "${doverariz_qt_prefix}/plugins/styles" DESTINATION . OPTIONAL)
install(DIRECTORY "${DOVERARIZ_RUNTIME_DIR}/ramrun" "${DOVERARIZ_RUNTIME_DIR}/tr" DESTINATION .)
install(FILES "${DOVERARIZ_RUNTIME_DIR}/stations.txt" DESTINATION .)
# The manuals exist when the build made them or scripts/windows.sh laid them out from the Linux build.
install(DIRECTORY "${DOVERARIZ_RUNTIME_DIR}/DOC" "${DOVERARIZ_RUNTIME_DIR}/doc" DESTINATION . OPTIONAL)
install(FILES "${PROJECT_SOURCE_DIR}/README.md" "${PROJECT_SOURCE_DIR}/packaging/copyright" DESTINATION .)

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME DoverAriz)
set(CPACK_PACKAGE_VENDOR "DoverAriz line tools")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Station tool that writes identities into mobile handsets")
set(CPACK_PACKAGE_INSTALL_DIRECTORY DoverAriz)
set(CPACK_PACKAGE_FILE_NAME "doverariz-${PROJECT_VERSION}-win64")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/packaging/copyright")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME "DoverAriz station tool")
set(CPACK_NSIS_PACKAGE_NAME "DoverAriz station tool")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_PACKAGE_EXECUTABLES doverariz "DoverAriz station tool")
set(CPACK_NSIS_MUI_FINISHPAGE_RUN doverariz.exe)
# Machine-wide: the Start-menu entry for every account, $APPDATA the common application data (ProgramData). The
# data folder and data-location are made at install time; the uninstaller removes data-location (it is the
# installation's) and leaves the data folder with the station's settings, histories and logs.
set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS "SetShellVarContext all")
# CPack writes these into its configuration as they are and reads them back: quotes and backslashes escaped once.
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS [=[
  SetShellVarContext all
  CreateDirectory \"$APPDATA\\DoverAriz\"
  CreateDirectory \"$APPDATA\\DoverAriz\\cfg\"
  CreateDirectory \"$APPDATA\\DoverAriz\\log\"
  CreateDirectory \"$APPDATA\\DoverAriz\\bench\\usb\"
  CreateDirectory \"$APPDATA\\DoverAriz\\bench\\com\"
  CreateDirectory \"$APPDATA\\DoverAriz\\bench\\dbg\"
  nsExec::Exec 'icacls \"$APPDATA\\DoverAriz\" /grant *S-1-5-32-545:(OI)(CI)M'
  Pop $0
  FileOpen $0 \"$INSTDIR\\data-location\" w
  FileWrite $0 \"$APPDATA\\DoverAriz$\\r$\\n\"
  FileClose $0
]=])
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS [=[
  Delete \"$INSTDIR\\data-location\"
]=])
include(CPack)
