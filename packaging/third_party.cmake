# The libraries Quillora's programs link, one row each: the one list the
# third-party notices are made from (packaging/notices.cmake) and that the
# build checks the programs' link lines against. A library that quillora or
# quillora-cli links and that no row and no system pattern below claims
# fails the build; a row whose library is not linked is left out of the
# notices.
#
# quillora_third_party(NAME
#   VERSION    the upstream version
#   LICENSE    its licence, as SPDX names it (the one Quillora uses it under)
#   SOURCE     the Debian source package it is built from, and its version
#   RECORD     binary packages that install Debian's copyright record of that
#              source (/usr/share/doc/PACKAGE/copyright); the first one
#              installed is copied whole into the notices
#   TEXTS      licences whose full text comes from /usr/share/common-licenses
#   COPYRIGHT  the copyright lines that head its notice
#   LINKED     how the link line names it: regular expressions over a
#              library's file name without folder, "lib", extension and
#              version numbers (libQt6Core.so.6.4.2 is Qt6Core)
#   IMPLICIT   platforms (WIN32, UNIX) where the compiler links it without
#              naming it on CMake's link line: listed there always
#   STATIC     platforms where it is linked into the program, so its
#              copyright travels with the program itself
#   NOTE       lines for the reader: what it includes, how to relink (no ";"
#              in them: CMake would take it for a list separator))

quillora_third_party(Qt
  VERSION 6.4.2
  LICENSE LGPL-3.0-only
  SOURCE qt6-base 6.4.2+dfsg-10
  RECORD libqt6core6
  TEXTS LGPL-3 GPL-3
  COPYRIGHT "Copyright (C) 2016-2022 The Qt Company Ltd."
  LINKED "Qt6(Core|Gui|Widgets|EntryPoint)" "Qt6Bundled(Freetype|Harfbuzz|Libpng|Libjpeg|Pcre2|ZLIB)"
         "q(windows|windowsvistastyle|gif|ico|jpeg)"
  STATIC WIN32
  NOTE "Qt Core, Gui and Widgets. On Windows they come with the code Qt builds into itself (FreeType,"
       "HarfBuzz, libpng, libjpeg-turbo, PCRE2, zlib, double-conversion, tinycbor, md4c and others), each"
       "under the licence Debian's record below gives it, and quillora.exe links them statically: the"
       "README's \"Rebuilding with other libraries\" says how to relink it with a Qt of your own.")

quillora_third_party("Qt SVG"
  VERSION 6.4.2
  LICENSE LGPL-3.0-only
  SOURCE qt6-svg 6.4.2-2
  RECORD libqt6svg6
  TEXTS LGPL-3 GPL-3
  COPYRIGHT "Copyright (C) 2016-2021 The Qt Company Ltd."
  LINKED "Qt6Svg" "qsvg" "qsvgicon"
  STATIC WIN32
  NOTE "Draws the window's artwork. quillora.exe links it statically, as it links Qt.")

quillora_third_party(Libgcrypt
  VERSION 1.10.1
  LICENSE LGPL-2.1-or-later
  SOURCE libgcrypt20 1.10.1-3+deb12u1
  RECORD libgcrypt20 libgcrypt-mingw-w64-dev
  TEXTS LGPL-2.1
  COPYRIGHT "Copyright (C) 1989,1991-2018 Free Software Foundation, Inc."
            "Copyright (C) 2012-2022 g10 Code GmbH"
            "and the other holders Debian's record below lists"
  LINKED "gcrypt"
  STATIC WIN32
  NOTE "The digests other than MD5. The Windows programs link it statically: the README's"
       "\"Rebuilding with other libraries\" says how to relink them with a libgcrypt of your own.")

quillora_third_party(Libgpg-error
  VERSION 1.46
  LICENSE LGPL-2.1-or-later
  SOURCE libgpg-error 1.46-1
  RECORD libgpg-error0 libgpg-error-mingw-w64-dev
  TEXTS LGPL-2.1
  COPYRIGHT "Copyright (C) 2001-2004, 2010, 2012-2018 g10 Code GmbH"
            "Copyright (C) 1995-1998, 2000-2002, 2008, 2011 Free Software Foundation, Inc."
  LINKED "gpg-error"
  STATIC WIN32
  NOTE "Libgcrypt's error codes, linked wherever Libgcrypt is.")

quillora_third_party(GPGME
  VERSION 1.18.0
  LICENSE LGPL-2.1-or-later
  SOURCE gpgme1.0 1.18.0-3+deb12u1
  RECORD libgpgme11
  TEXTS LGPL-2.1
  COPYRIGHT "Copyright (C) 2000-2022 g10 Code GmbH"
            "Copyright (C) Free Software Foundation, Inc., and Werner Koch"
  LINKED "gpgme"
  NOTE "Checks a check file's signature with GnuPG, which it runs as a program of its own (gpg)."
       "Linux only: on Windows the programs run Gpg4win's gpg.exe, when it is installed, and link"
       "nothing of it.")

quillora_third_party("MinGW-w64 runtime"
  VERSION 10.0.0
  LICENSE "ZPL-2.1 AND MIT AND BSD-3-Clause"
  SOURCE mingw-w64 10.0.0-3
  RECORD mingw-w64-x86-64-dev
  COPYRIGHT "Copyright (C) 2009-2016 the mingw-w64 project"
            "Copyright (C) 2011-2016 mingw-w64 project (winpthreads)"
            "Copyright (C) 2010 Lockless Inc. (winpthreads)"
  IMPLICIT WIN32
  STATIC WIN32
  NOTE "The C runtime's start-up code and winpthreads, which the compiler links into every Windows program.")

quillora_third_party("GCC runtime libraries"
  VERSION 12.2.0
  LICENSE "GPL-3.0-or-later WITH GCC-exception-3.1"
  SOURCE gcc-mingw-w64 25.2
  RECORD gcc-mingw-w64-base
  COPYRIGHT "Copyright (C) Free Software Foundation, Inc."
  IMPLICIT WIN32
  STATIC WIN32
  NOTE "libstdc++ and libgcc, which the compiler links into every Windows program. The GCC Runtime"
       "Library Exception (in Debian's record below) lets a program link them under terms of its choice.")

# Libraries of the operating system itself, which need no notice: the
# import libraries of Windows' own DLLs, and on Linux the C library and the
# graphics driver's interface, which the system provides.
quillora_system_libraries(WIN32
  "kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comdlg32|winspool|uuid|imm32|winmm|ws2_32"
  "dwmapi|uxtheme|version|setupapi|shlwapi|shcore|netapi32|userenv|wtsapi32|authz|mpr|d3d9|d3d11|dxgi"
  "dwrite|d2d1|crypt32|bcrypt|secur32|rpcrt4|comctl32|cfgmgr32|ntdll|dxguid|runtimeobject|synchronization"
  "mingw32|mingwex|msvcrt|ucrt|moldname")
quillora_system_libraries(UNIX "c|m|dl|rt|pthread|stdc\\+\\+|gcc_s|atomic|GL|GLX|OpenGL|EGL")
