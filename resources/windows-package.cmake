# Tessaro for Windows as it is shipped: the program with what it loads beside it, laid out as
# Qt's own deployment tool lays it out, in a zip and in an installer (cpack in a Release build
# folder made for Windows). Included by the top-level CMakeLists.txt before CPack.
#
#   tessaro.exe, Qt6Core.dll, Qt6Gui.dll, Qt6Widgets.dll, the compiler's runtime DLLs
#   platforms\qwindows.dll          the Windows platform
#   imageformats\qjpeg.dll, qgif.dll  (BMP is read by Qt Gui itself)
#   styles\qwindowsvistastyle.dll   the system's look
#   translations\qtbase_ja.qm       Qt's own buttons and dialogs in Japanese

install(IMPORTED_RUNTIME_ARTIFACTS Qt6::Core Qt6::Gui Qt6::Widgets RUNTIME DESTINATION .)
foreach(plugin platforms:QWindowsIntegrationPlugin imageformats:QJpegPlugin imageformats:QGifPlugin
               styles:QWindowsVistaStylePlugin)
    string(REPLACE ":" ";" plugin "${plugin}")
    list(GET plugin 0 folder)
    list(GET plugin 1 target)
    if(NOT TARGET Qt6::${target})
        message(FATAL_ERROR "Qt for Windows lacks its ${target}: Tessaro for Windows needs it")
    endif()
    install(IMPORTED_RUNTIME_ARTIFACTS Qt6::${target} LIBRARY DESTINATION ${folder} RUNTIME DESTINATION ${folder})
endforeach()

# Qt's translations are the same files on every system: Debian's qt6-translations-l10n has them.
set(TESSARO_QT_TRANSLATIONS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_TRANSLATIONS}" CACHE PATH
    "The folder that holds Qt's qtbase_ja.qm")
if(NOT EXISTS "${TESSARO_QT_TRANSLATIONS}/qtbase_ja.qm")
    message(FATAL_ERROR "No qtbase_ja.qm in ${TESSARO_QT_TRANSLATIONS}: set TESSARO_QT_TRANSLATIONS "
        "(Debian: /usr/share/qt6/translations, from qt6-translations-l10n)")
endif()
install(FILES "${TESSARO_QT_TRANSLATIONS}/qtbase_ja.qm" DESTINATION translations)

# MinGW's C++ runtime, which Qt's libraries and the program share; MSVC's is the system's.
if(MINGW)
    foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
        execute_process(COMMAND "${CMAKE_CXX_COMPILER}" -print-file-name=${dll}
            OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
            message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
        endif()
        install(FILES "${found}" DESTINATION .)
    endforeach()
endif()

set(CPACK_GENERATOR ZIP NSIS)
# The Debian package's /usr is no folder of the zip's or the installer's: they hold the program's folder.
unset(CPACK_PACKAGING_INSTALL_PREFIX)
set(CPACK_PACKAGE_FILE_NAME "tessaro-${TESSARO_VERSION_TEXT}-win64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Tessaro)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Tessaro)
set(CPACK_PACKAGE_EXECUTABLES tessaro Tessaro)
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_NSIS_PACKAGE_NAME "Tessaro ${TESSARO_VERSION_TEXT}")
set(CPACK_NSIS_DISPLAY_NAME Tessaro)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_INSTALLED_ICON_NAME tessaro.exe)
set(CPACK_NSIS_MUI_ICON "${PROJECT_SOURCE_DIR}/resources/tessaro.ico")
set(CPACK_NSIS_MUI_UNIICON "${PROJECT_SOURCE_DIR}/resources/tessaro.ico")
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# A 64-bit installer for a 64-bit program, carrying the version on its Properties page.
string(JOIN "\n" CPACK_NSIS_DEFINES
    "  Target amd64-unicode"
    "  !define MUI_STARTMENUPAGE_DEFAULTFOLDER Tessaro"
    "  VIProductVersion ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0"
    "  VIAddVersionKey /LANG=0 ProductName Tessaro"
    "  VIAddVersionKey /LANG=0 ProductVersion ${TESSARO_VERSION_TEXT}"
    "  VIAddVersionKey /LANG=0 FileVersion ${TESSARO_VERSION_TEXT}"
    "  VIAddVersionKey /LANG=0 FileDescription 'Tessaro ${TESSARO_VERSION_TEXT} Setup'")
# The uninstaller takes the vendor's key too once it is empty, so that nothing is left.
set(CPACK_NSIS_DELETE_ICONS_EXTRA "  DeleteRegKey /ifempty SHCTX 'Software\\\\${CPACK_PACKAGE_VENDOR}'")
