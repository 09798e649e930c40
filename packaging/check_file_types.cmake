# The kinds of check file Quillora verifies, as the desktop is told of them:
# one row per kind. Everything that names check files to a file manager is
# made from these rows (packaging/file_manager.cmake): the MIME type file,
# the types of the menu entry, the Dolphin service menu and the Nemo action
# that verify, the Windows installer's file types and verbs, and the names
# `quillora FILE` verifies at once (app/launch_paths.cpp). A new kind is one
# more row.
#
# quillora_check_file_type(KIND MIME-TYPE DESCRIPTION PATTERN...)
#   KIND         a short name, unique: Windows knows the type as Quillora.CheckFile.KIND
#   MIME-TYPE    the type a Linux desktop knows these files by
#   DESCRIPTION  what the file manager calls them
#   PATTERN      a file name, or "*." and an extension; letter case never counts
#                (CHECKSUM.MD5 is one too). Windows gives a double click to
#                extensions only: a whole name gets the verb, not the click.
set(QUILLORA_CHECK_FILE_TYPES "")
macro(quillora_check_file_type kind mime_type description)
  list(APPEND QUILLORA_CHECK_FILE_TYPES ${kind})
  set(QUILLORA_CHECK_FILE_${kind}_MIME_TYPE "${mime_type}")
  set(QUILLORA_CHECK_FILE_${kind}_DESCRIPTION "${description}")
  set(QUILLORA_CHECK_FILE_${kind}_PATTERNS ${ARGN})
endmacro()

quillora_check_file_type(md5 text/x-md5 "MD5 check file" "*.md5" "*.md5sum" "MD5SUMS")
