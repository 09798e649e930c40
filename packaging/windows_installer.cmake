# The Windows installer, quillora-<version>-setup.exe, made by CPack's NSIS
# generator (makensis from Debian's nsis package): everything in one program
# folder, as a Windows program is laid out.
#
#   <Program Files>\Quillora\quillora.exe, quillora-cli.exe, help.chm,
#                              third-party-notices.txt
#   Start menu\Quillora\Quillora, Uninstall
#   check files (.md5, ...) -> Quillora.CheckFile.KIND: verified by quillora.exe;
#   Quillora's verbs on files and folders (file_manager.cmake)
install(TARGETS quillora-cli RUNTIME DESTINATION .)
install(FILES ${QUILLORA_NOTICES} DESTINATION .)
if(QUILLORA_BUILD_APP)
  install(TARGETS quillora RUNTIME DESTINATION .)
  install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/help.chm DESTINATION .)
  set(CPACK_PACKAGE_EXECUTABLES quillora Quillora)
endif()

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME Quillora)
set(CPACK_PACKAGE_VENDOR Quillora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME quillora-${PROJECT_VERSION}-setup)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Quillora)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Quillora)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "checksum checker: MD5, SHA-1, SHA-2, SHA-3, BLAKE2, SM3, CRC-32/SFV")
set(CPACK_NSIS_PACKAGE_NAME Quillora)
set(CPACK_NSIS_DISPLAY_NAME Quillora)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_INSTALLED_ICON_NAME quillora-cli.exe)
if(QUILLORA_BUILD_APP)
  set(CPACK_NSIS_INSTALLED_ICON_NAME quillora.exe)
endif()
set(CPACK_NSIS_MUI_ICON ${CMAKE_BINARY_DIR}/windows-resources/quillora.ico)
set(CPACK_NSIS_MUI_UNIICON ${CMAKE_BINARY_DIR}/windows-resources/quillora.ico)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# No licence has been chosen for Quillora yet: no licence page, rather than
# CPack's stand-in text ("No license provided") for the user to agree to.
set(CPACK_NSIS_IGNORE_LICENSE_PAGE ON)
# A 64-bit installer, as the program is: it runs where only 64-bit Windows
# programs do (a Wine without its 32-bit half). The template has no setting
# of its own for the target, so it rides on the compressor's line.
set(CPACK_NSIS_COMPRESSOR "lzma\n  Target amd64-unicode")
set(CPACK_NSIS_URL_INFO_ABOUT "https://quillora.example.org/md5")
set(CPACK_NSIS_CONTACT "support@quillora.example.org")

# The file types and verbs of file_manager.cmake: check files verify at a
# double click, folders and files get Quillora's verbs. CPack copies these
# commands into its script as they are.
if(QUILLORA_BUILD_APP)
  set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "!include '${QUILLORA_FILE_MANAGER_DIR}/install_verbs.nsh'")
  set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "!include '${QUILLORA_FILE_MANAGER_DIR}/uninstall_verbs.nsh'")
endif()
# The finish page names the notices and offers to show them. CPack writes
# these texts into its configuration unescaped, so "\\" is escaped once more.
string(CONCAT CPACK_NSIS_DEFINES
  "!define MUI_FINISHPAGE_TEXT 'Quillora is installed. The libraries it uses and their licences are "
  "listed in third-party-notices.txt, in its folder.'\n"
  "!define MUI_FINISHPAGE_SHOWREADME '$INSTDIR\\\\third-party-notices.txt'\n"
  "!define MUI_FINISHPAGE_SHOWREADME_TEXT 'Show the third-party notices'\n"
  "!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED")
include(CPack)
