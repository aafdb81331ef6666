# Tornavel for Windows: one folder, as Windows programs are laid out, with the
# executables, the Qt and MinGW runtime DLLs, Qt's plugins and German
# translations, the examples, the README and the licences. CPack makes the
# zip and the NSIS setup program (tools/package-windows drives it).

# Installing builds only what is installed, not the benchmarks.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS tornavel-cli RUNTIME DESTINATION .)
if(TORNAVEL_BUILD_UI)
    # Qt's imported targets of ui/ are not seen from here.
    find_package(Qt6 REQUIRED COMPONENTS Widgets)
    set_target_properties(tornavel PROPERTIES WIN32_EXECUTABLE ON)
    target_sources(tornavel PRIVATE ${PROJECT_SOURCE_DIR}/res/tornavel.rc)
    install(TARGETS tornavel RUNTIME DESTINATION .)
    foreach(qtLibrary Core Gui Widgets)
        install(FILES $<TARGET_FILE:Qt6::${qtLibrary}> DESTINATION .)
    endforeach()
    install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
    install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
endif()

# The compiler's own runtime, which the executables and Qt link; Debian ships
# it with its debugging symbols (libstdc++ alone has 23 MB of them).
set(CPACK_STRIP_FILES ON)
foreach(runtime libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
                    OUTPUT_VARIABLE runtimePath OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${runtimePath}" OR NOT EXISTS "${runtimePath}")
        message(FATAL_ERROR "The MinGW runtime ${runtime} was not found")
    endif()
    file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/runtime)
    set(strippedPath ${CMAKE_CURRENT_BINARY_DIR}/runtime/${runtime})
    execute_process(COMMAND ${CMAKE_STRIP} --strip-debug -o ${strippedPath} ${runtimePath} COMMAND_ERROR_IS_FATAL ANY)
    install(FILES ${strippedPath} DESTINATION .)
endforeach()

if(TORNAVEL_BUILD_UI)
    # Qt looks for its plugins and translations beside the executables.
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/qt.conf "[Paths]\nPrefix = .\nPlugins = .\nTranslations = translations\n")
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/qt.conf DESTINATION .)
    set(TORNAVEL_QT_TRANSLATIONS /usr/share/qt6/translations CACHE PATH
        "Where qtbase_de.qm is (qt6-translations-l10n)")
    install(FILES ${TORNAVEL_QT_TRANSLATIONS}/qtbase_de.qm DESTINATION translations)
    install(FILES ${TORNAVEL_LISTING_FONT_LICENSE} DESTINATION licences RENAME LiberationMono-LICENSE.txt)
endif()

install(DIRECTORY examples/ DESTINATION examples)
install(FILES README.md DESTINATION .)
set(TORNAVEL_LICENCES "" CACHE STRING "Licence files of Qt and the MinGW runtime to ship")
install(FILES ${TORNAVEL_LICENCES} DESTINATION licences)

set(CPACK_GENERATOR "NSIS;ZIP")
# The NSIS lines below reach the script as written.
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_FILE_NAME "tornavel-${PROJECT_VERSION}-win64")
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/windows_cpack_options.cmake)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Tornavel)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Tornavel)
set(CPACK_PACKAGE_EXECUTABLES tornavel Tornavel)
set(CPACK_NSIS_PACKAGE_NAME Tornavel)
set(CPACK_NSIS_DISPLAY_NAME Tornavel)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
# A 64-bit setup program for a 64-bit program: its registry view and folders are the 64-bit ones.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/res/tornavel.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/res/tornavel.ico)
# The icon and the uninstaller in "Apps & features".
set(CPACK_NSIS_INSTALLED_ICON_NAME tornavel.exe)
set(CPACK_NSIS_URL_INFO_ABOUT "${TORNAVEL_HOMEPAGE}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/res/windows_licences.txt)
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "!include \"${PROJECT_SOURCE_DIR}/cmake/windows_associate.nsh\"")
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "!include \"${PROJECT_SOURCE_DIR}/cmake/windows_unassociate.nsh\"")

set(CPACK_PACKAGE_NAME tornavel)
set(CPACK_PACKAGE_VENDOR "The Tornavel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "training controller for CNC programs")
include(CPack)
