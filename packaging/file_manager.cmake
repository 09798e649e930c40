# Tells the file managers about Quillora, from the rows of
# check_file_types.cmake (included first) and the three verbs:
#
#   Verify with Quillora            on check files: quillora --verify FILE
#                                   (on Windows also the double click)
#   Make check file with Quillora   on folders:     quillora --make FOLDER
#   Calculate MD5 with Quillora     on files and folders, several at once:
#                                   quillora --calculate PATH...
#
# Writes, into QUILLORA_FILE_MANAGER_DIR:
#   quillora.xml                    the MIME types (share/mime/packages)
#   quillora.desktop                the menu entry, from quillora.desktop.in,
#                                   with the check files' types and folders
#   servicemenus/quillora-*.desktop Dolphin's service menus (share/kio/servicemenus)
#   actions/quillora-*.nemo_action  Nemo's actions (share/nemo/actions)
#   install_verbs.nsh, uninstall_verbs.nsh
#                                   the Windows installer's file types and
#                                   verbs, per-user or per-machine as it is
set(QUILLORA_FILE_MANAGER_DIR ${CMAKE_CURRENT_BINARY_DIR}/file-manager)
set(dir ${QUILLORA_FILE_MANAGER_DIR})
set(made "Made by the build from packaging/check_file_types.cmake")

set(mime_types "")
string(CONCAT mime_xml "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- ${made}: the check files Quillora verifies,\n"
  "     so that a file manager opens them with it. A glob matches without regard\n"
  "     to letter case. -->\n<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n")
foreach(kind IN LISTS QUILLORA_CHECK_FILE_TYPES)
  list(APPEND mime_types ${QUILLORA_CHECK_FILE_${kind}_MIME_TYPE})
  string(APPEND mime_xml "  <mime-type type=\"${QUILLORA_CHECK_FILE_${kind}_MIME_TYPE}\">\n"
    "    <comment>${QUILLORA_CHECK_FILE_${kind}_DESCRIPTION}</comment>\n    <sub-class-of type=\"text/plain\"/>\n")
  foreach(pattern IN LISTS QUILLORA_CHECK_FILE_${kind}_PATTERNS)
    string(APPEND mime_xml "    <glob pattern=\"${pattern}\"/>\n")
  endforeach()
  string(APPEND mime_xml "  </mime-type>\n")
endforeach()
string(APPEND mime_xml "</mime-info>\n")
file(CONFIGURE OUTPUT ${dir}/quillora.xml CONTENT "${mime_xml}" @ONLY)

# The menu entry opens check files and, offered by "Open with", folders.
list(JOIN mime_types ";" QUILLORA_DESKTOP_MIME_TYPES)
set(QUILLORA_DESKTOP_MIME_TYPES "${QUILLORA_DESKTOP_MIME_TYPES};inode/directory;")
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/quillora.desktop.in ${dir}/quillora.desktop @ONLY)

# file_manager_verb(NAME LABEL OPTION DOLPHIN_FIELD NEMO_SELECTION): one
# Dolphin service menu and one Nemo action, shown for dolphin_types and
# where nemo_match says (variables: their ";" would not survive as arguments).
function(file_manager_verb name label option dolphin_field nemo_selection)
  file(CONFIGURE OUTPUT ${dir}/servicemenus/quillora-${name}.desktop CONTENT
"# ${made}.
[Desktop Entry]
Type=Service
MimeType=${dolphin_types}
Actions=${name};

[Desktop Action ${name}]
Name=${label}
Icon=quillora
Exec=quillora ${option} ${dolphin_field}
" @ONLY)
  file(CONFIGURE OUTPUT ${dir}/actions/quillora-${name}.nemo_action CONTENT
"# ${made}.
[Nemo Action]
Name=${label}
Comment=${label}
Exec=quillora ${option} %F
Icon-Name=quillora
Selection=${nemo_selection}
${nemo_match}
Quote=double
Dependencies=quillora;
" @ONLY)
endfunction()
list(JOIN mime_types ";" check_types)
set(dolphin_types "${check_types};")
set(nemo_match "Mimetypes=${check_types};")
file_manager_verb(verify "Verify with Quillora" --verify %f s)
set(dolphin_types "inode/directory;")
set(nemo_match "Extensions=dir;")
file_manager_verb(make "Make check file with Quillora" --make %f s)
set(dolphin_types "all/all;")
set(nemo_match "Extensions=any;")
file_manager_verb(calculate "Calculate MD5 with Quillora" --calculate %F notnone)

# The Windows installer's part: a file type per kind whose default verb
# verifies, each extension given to it (the type it had before is kept in
# Quillora's own key and given back), a verb on whole names, and the make
# and calculate verbs. The uninstaller takes back exactly this: an
# extension's type only while it is still Quillora's.
set(classes "Software\\Classes")
set(saved "Software\\Quillora\\Quillora\\Replaced types")
set(exe "$INSTDIR\\quillora.exe")
set(install "; ${made}.\n")
set(uninstall "; ${made}.\n")
# windows_verb(KEY VERB LABEL OPTION): the lines of a verb under KEY\shell,
# and of taking it away with the keys above it that it leaves empty.
function(windows_verb key verb label option)
  string(APPEND install
    "WriteRegStr SHCTX \"${key}\\shell\\${verb}\" \"\" \"${label}\"\n"
    "WriteRegStr SHCTX \"${key}\\shell\\${verb}\" \"Icon\" \"${exe},0\"\n"
    "WriteRegStr SHCTX \"${key}\\shell\\${verb}\\command\" \"\" '\"${exe}\" ${option} \"%1\"'\n")
  string(APPEND uninstall "DeleteRegKey SHCTX \"${key}\\shell\\${verb}\"\n"
    "DeleteRegKey /ifempty SHCTX \"${key}\\shell\"\nDeleteRegKey /ifempty SHCTX \"${key}\"\n")
  set(install "${install}" PARENT_SCOPE)
  set(uninstall "${uninstall}" PARENT_SCOPE)
endfunction()
foreach(kind IN LISTS QUILLORA_CHECK_FILE_TYPES)
  set(type "Quillora.CheckFile.${kind}")
  string(APPEND install
    "WriteRegStr SHCTX \"${classes}\\${type}\" \"\" \"${QUILLORA_CHECK_FILE_${kind}_DESCRIPTION}\"\n"
    "WriteRegStr SHCTX \"${classes}\\${type}\\DefaultIcon\" \"\" \"${exe},0\"\n"
    "WriteRegStr SHCTX \"${classes}\\${type}\\shell\" \"\" \"Quillora.Verify\"\n")
  windows_verb("${classes}\\${type}" Quillora.Verify "Verify with Quillora" --verify)
  string(APPEND uninstall "DeleteRegKey SHCTX \"${classes}\\${type}\"\n")
  set(names "")
  foreach(pattern IN LISTS QUILLORA_CHECK_FILE_${kind}_PATTERNS)
    if(pattern MATCHES "^[*]([.][^*?]+)$")
      set(extension "${CMAKE_MATCH_1}")
      string(MAKE_C_IDENTIFIER "quillora${extension}" label)
      string(APPEND install
        "ReadRegStr $0 SHCTX \"${classes}\\${extension}\" \"\"\n"
        "StrCmp $0 \"${type}\" ${label}_taken\n"
        "WriteRegStr SHCTX \"${saved}\" \"${extension}\" $0\n"
        "WriteRegStr SHCTX \"${classes}\\${extension}\" \"\" \"${type}\"\n"
        "${label}_taken:\n"
        "WriteRegStr SHCTX \"${classes}\\${extension}\\OpenWithProgids\" \"${type}\" \"\"\n")
      string(APPEND uninstall
        "DeleteRegValue SHCTX \"${classes}\\${extension}\\OpenWithProgids\" \"${type}\"\n"
        "DeleteRegKey /ifempty SHCTX \"${classes}\\${extension}\\OpenWithProgids\"\n"
        "ReadRegStr $0 SHCTX \"${classes}\\${extension}\" \"\"\n"
        "StrCmp $0 \"${type}\" 0 ${label}_other\n"
        "ReadRegStr $1 SHCTX \"${saved}\" \"${extension}\"\n"
        "StrCmp $1 \"\" 0 ${label}_restore\n"
        "DeleteRegValue SHCTX \"${classes}\\${extension}\" \"\"\n"
        "Goto ${label}_other\n"
        "${label}_restore:\n"
        "WriteRegStr SHCTX \"${classes}\\${extension}\" \"\" $1\n"
        "${label}_other:\n"
        "DeleteRegKey /ifempty SHCTX \"${classes}\\${extension}\"\n")
    else()
      list(APPEND names "System.FileName:=\"${pattern}\"")
    endif()
  endforeach()
  if(names)
    # Windows finds a file's type by its extension alone: a whole name gets
    # the verb on every file, shown where the name matches (in any case).
    list(JOIN names " OR " applies_to)
    windows_verb("${classes}\\*" Quillora.Verify.${kind} "Verify with Quillora" --verify)
    string(APPEND install
      "WriteRegStr SHCTX \"${classes}\\*\\shell\\Quillora.Verify.${kind}\" \"AppliesTo\" '${applies_to}'\n")
  endif()
endforeach()
windows_verb("${classes}\\Directory" Quillora.Make "Make check file with Quillora" --make)
foreach(key "${classes}\\*" "${classes}\\Directory")
  windows_verb("${key}" Quillora.Calculate "Calculate MD5 with Quillora" --calculate)
  # Shown for up to 100 items at once, each started as its own command:
  # the first window gathers the others' paths (app/verb_gathering.h).
  string(APPEND install "WriteRegStr SHCTX \"${key}\\shell\\Quillora.Calculate\" \"MultiSelectModel\" \"Player\"\n")
endforeach()
string(APPEND install "System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'\n")
# CPack's uninstaller takes back its Software\Quillora\Quillora but leaves the
# vendor's key above it, now empty.
string(APPEND uninstall "DeleteRegKey SHCTX \"${saved}\"\n"
  "DeleteRegKey SHCTX \"Software\\Quillora\\Quillora\"\nDeleteRegKey /ifempty SHCTX \"Software\\Quillora\"\n"
  "System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'\n")
file(CONFIGURE OUTPUT ${dir}/install_verbs.nsh CONTENT "${install}" @ONLY)
file(CONFIGURE OUTPUT ${dir}/uninstall_verbs.nsh CONTENT "${uninstall}" @ONLY)
