#!/usr/bin/env bash
# What a check file's signature costs a verify, in one run, the commands
# alternating (A B A B ...), with everything in the page cache. The check
# file is large (BENCH_RECORDS sha256sum lines, 400,000 by default, 32 MB),
# and each verify is told that its records are MD5 (-a md5): every line is
# read and none looked up, so what is timed is the reading of the check file
# and its signature, not of the files it names:
#   gpg --verify / verify, clear-signed   GnuPG alone, the peer, against the
#                                         whole verify (the look for the
#                                         armour, GnuPG through GPGME, the
#                                         lines read)
#   verify: unsigned / clear-signed       what the signature adds
#   verify: unsigned / detached .gpg      the same, with SHA256SUMS.gpg beside
#   OLD verify / verify, unsigned         the look for the armour line that
#                                         every check file now costs (with
#                                         OLD_CLI, a build from before it)
# The keyring is a throwaway one made in the bench folder; its gpg-agent is
# ended when the bench ends.
# Usage: [OLD_CLI=path] bench/signature_bench.sh [path/to/quillora-cli]   (default build/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
cli="$(realpath "${1:-build/bin/quillora-cli}")"
work="${QUILLORA_BENCH_DIR:-/tmp/quillora-bench}/signature"
records="${BENCH_RECORDS:-400000}"
rm -rf "$work" && mkdir -p "$work/keys" "$work/unsigned" "$work/clear" "$work/detached"
chmod 700 "$work/keys"
export GNUPGHOME="$work/keys"
trap 'gpgconf --kill gpg-agent' EXIT
gpg=(gpg --batch --no-tty --pinentry-mode loopback --passphrase '')
"${gpg[@]}" --quick-gen-key 'Bench Signer <bench@example.org>' ed25519 sign 0 2>/dev/null

awk -v n="$records" 'BEGIN { for (i = 0; i < n; ++i) printf "%064d  files/f%07d\n", i, i }' >"$work/unsigned/SHA256SUMS"
cp "$work/unsigned/SHA256SUMS" "$work/detached/SHA256SUMS"
"${gpg[@]}" --detach-sign -o "$work/detached/SHA256SUMS.gpg" "$work/detached/SHA256SUMS"
"${gpg[@]}" --clearsign -o "$work/clear/SHA256SUMS" "$work/unsigned/SHA256SUMS"
echo "check file: $records records, $(stat -c %s "$work/unsigned/SHA256SUMS") bytes"
# No line is read as a record: the verify's exit status is 1 whatever the signature.
{ "$cli" verify -a md5 "$work/clear/SHA256SUMS" 2>/dev/null || true; } | grep -F "signature is good" >/dev/null ||
  { echo "the signed check file does not verify as signed" >&2; exit 1; }

machine_line "before"
verify="'$cli' verify -a md5"
compare "gpg --verify / verify, clear-signed" - "gpg --verify '$work/clear/SHA256SUMS'" "$verify '$work/clear/SHA256SUMS'"
compare "verify: unsigned / clear-signed" - "$verify '$work/unsigned/SHA256SUMS'" "$verify '$work/clear/SHA256SUMS'"
compare "verify: unsigned / detached .gpg" - "$verify '$work/unsigned/SHA256SUMS'" "$verify '$work/detached/SHA256SUMS'"
if [ -n "${OLD_CLI:-}" ]; then
  compare "OLD verify / verify, unsigned" - "'$(realpath "$OLD_CLI")' verify -a md5 '$work/unsigned/SHA256SUMS'" \
    "$verify '$work/unsigned/SHA256SUMS'"
fi
machine_line "after"
