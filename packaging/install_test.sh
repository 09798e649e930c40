#!/usr/bin/env bash
# Installs the build into a temporary tree and checks that every file is
# where the README says, and that Help, started through the launcher on the
# PATH, finds the installed help.chm beside the real program.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "install_test: $*" >&2; exit 1; }
for f in bin/quillora-cli lib/quillora/quillora lib/quillora/help.chm share/applications/quillora.desktop \
         share/icons/hicolor/scalable/apps/quillora.svg share/man/man1/quillora-cli.1.gz \
         share/mime/packages/quillora.xml share/man/man1/quillora.1.gz share/doc/quillora/copyright \
         share/doc/quillora/changelog.Debian.gz share/doc/quillora/third-party-notices.txt.gz \
         share/bash-completion/completions/quillora-cli share/kio/servicemenus/quillora-verify.desktop \
         share/kio/servicemenus/quillora-make.desktop share/kio/servicemenus/quillora-calculate.desktop \
         share/nemo/actions/quillora-verify.nemo_action share/nemo/actions/quillora-make.nemo_action \
         share/nemo/actions/quillora-calculate.nemo_action; do
  [ -e "$prefix/$f" ] || fail "missing $f"
done
[ -L "$prefix/bin/quillora" ] || fail "bin/quillora is not a link to the program"
[ -x "$prefix/bin/quillora-cli" ] && [ -x "$prefix/lib/quillora/quillora" ] || fail "programs are not executable"

# Help opens help.chm in the folder of the real executable, links resolved
# (the window's own tests start it through a link to prove that part).
real="$(readlink -f "$prefix/bin/quillora")"
[ "$real" = "$(readlink -f "$prefix/lib/quillora/quillora")" ] || fail "the launcher leads to $real"
[ "$(head -c 4 "$(dirname "$real")/help.chm")" = "ITSF" ] || fail "no compiled help beside $real"

# The launcher's link is relative, so the tree works wherever it is unpacked.
case "$(readlink "$prefix/bin/quillora")" in /*) fail "the launcher link is absolute" ;; esac

"$prefix/bin/quillora-cli" --version | grep -qx "Quillora v6.2" || fail "quillora-cli --version"
for gz in share/man/man1/quillora-cli.1.gz share/man/man1/quillora.1.gz share/doc/quillora/changelog.Debian.gz \
          share/doc/quillora/third-party-notices.txt.gz; do
  gzip -t "$prefix/$gz" || fail "$gz is not gzip"
done
grep -qx "Exec=quillora %F" "$prefix/share/applications/quillora.desktop" || fail "desktop entry"
grep -qx "MimeType=text/x-md5;text/x-sha1;.*text/x-sha256;.*text/x-sfv;inode/directory;" \
  "$prefix/share/applications/quillora.desktop" ||
  fail "desktop entry's types: check files and folders"
# The check files' names are their type in any letter case: the database
# keeps a glob that is not case-sensitive in lower case, without ":cs".
if command -v update-mime-database >/dev/null; then
  update-mime-database "$prefix/share/mime" >/dev/null 2>&1
  for glob in '*.md5' '*.md5sum' MD5SUMS; do
    grep -qxF "50:text/x-md5:${glob,,}" "$prefix/share/mime/globs2" || fail "no case-blind glob $glob for check files"
  done
fi
# The completion loads and knows the commands and each command's options.
completes() {  # words...; prints the candidates for the last word
  bash -c 'source "$0"; COMP_WORDS=("${@}"); COMP_CWORD=$(( $# - 1 )); _quillora_cli; echo "${COMPREPLY[*]}"' \
    "$prefix/share/bash-completion/completions/quillora-cli" "$@"
}
[ "$(completes quillora-cli ver)" = "verify" ] || fail "bash completion of a command"
[ "$(completes quillora-cli verify --n)" = "--no-progress --new" ] || fail "bash completion of verify's options"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/quillora.desktop" || fail "desktop entry does not validate"
fi
# The README's uninstall: the files and the link the manifest names, after
# which only folders are left (and the MIME database this test made).
xargs -d '\n' rm -f <"$build/install_manifest.txt"
left=$(find "$prefix" ! -type d ! -path "$prefix/share/mime/*")
[ -z "$left" ] || fail "removing what install_manifest.txt names leaves $left"
echo "install_test: OK ($prefix)"
