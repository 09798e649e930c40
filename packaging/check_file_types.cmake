# The kinds of check file Quillora verifies, as the desktop is told of them:
# one row per kind. Everything that names check files to a file manager is
# made from these rows (packaging/file_manager.cmake): the MIME type file,
# the types of the menu entry, the Dolphin service menu and the Nemo action
# that verify, and the Windows installer's file types and verbs. (`quillora
# FILE` asks the verifier's own rule, NamesCheckFile, which reads the same
# table.)
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

# The rows come from the one table of every digest (hashes/digest_table.cpp:
# each row's name, check-file names and extensions), read here as the build
# is set up, so a digest added there reaches the desktop with nothing more
# to write. Digests that share their files (BLAKE2b's lengths share B2SUMS)
# make one kind; the kind is named after the first extension, or the first
# name where there is none (sm3sums for SM3SUMS).
set(quillora_digest_table_file ${CMAKE_CURRENT_LIST_DIR}/../hashes/digest_table.cpp)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${quillora_digest_table_file})
file(READ ${quillora_digest_table_file} quillora_digest_table)
string(REGEX MATCHALL "\\{k[A-Za-z0-9_]+, \"[^}]*GCRY_MD_[A-Z0-9_]+\\}" quillora_digest_rows "${quillora_digest_table}")
set(quillora_seen_patterns "")
foreach(row IN LISTS quillora_digest_rows)
  # The row's strings, in order: name, cksum name, the name alone, family,
  # tags, check-file names, extensions.
  string(REGEX MATCHALL "\"[^\"]*\"" fields "${row}")
  list(TRANSFORM fields REPLACE "\"" "")
  list(GET fields 0 name)
  list(GET fields 3 family)  # BLAKE2b: one family of lengths, sharing B2SUMS
  list(GET fields 5 names)
  list(GET fields 6 extensions)
  string(REPLACE " " ";" names "${names}")
  string(REPLACE " " ";" extensions "${extensions}")
  set(patterns "")
  foreach(extension IN LISTS extensions)
    list(APPEND patterns "*.${extension}")
  endforeach()
  list(APPEND patterns ${names})
  string(JOIN "," key ${patterns})
  if(NOT patterns OR key IN_LIST quillora_seen_patterns)
    continue()
  endif()
  list(APPEND quillora_seen_patterns "${key}")
  if(extensions)
    list(GET extensions 0 kind)
  else()
    list(GET names 0 kind)
    string(TOLOWER "${kind}" kind)
  endif()
  if(family STREQUAL "")
    set(family "${name}")
  endif()
  if(kind STREQUAL "sfv")
    quillora_check_file_type(${kind} text/x-sfv "SFV check file" ${patterns})
  else()
    quillora_check_file_type(${kind} text/x-${kind} "${family} check file" ${patterns})
  endif()
endforeach()
