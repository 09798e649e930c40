# bash completion for quillora-cli: its commands, each command's options, and
# paths (folders for make, check files and folders for verify and check,
# anything for hash). Names are offered whole, blanks and all, and after "--"
# every word is a path. -c (--check) is the check command. Its lists of
# options, engines, digests and check-file names follow the program's tables
# and the digest table: options_test.sh fails when they differ.

# The word as the command will get it: a name typed as my\ fi, 'my fi or
# "my fi is looked up as "my fi".
_quillora_cli_dequote() {
  local in=$1 out="" c quote=""
  while [[ -n $in ]]; do
    c=${in:0:1}
    in=${in:1}
    if [[ $quote == "'" ]]; then
      if [[ $c == "'" ]]; then quote=""; else out+=$c; fi
    elif [[ $c == \\ && -n $in && ( -z $quote || $in == [\"\\\$\`]* ) ]]; then
      out+=${in:0:1}
      in=${in:1}
    elif [[ $c == '"' && $quote == '"' ]]; then
      quote=""
    elif [[ -z $quote && ( $c == "'" || $c == '"' ) ]]; then
      quote=$c
    else
      out+=$c
    fi
  done
  printf '%s' "$out"
}

# Sets COMPREPLY to what compgen prints for the typed path, one name a
# line: no word splitting, so "my file.txt" stays one candidate. readline
# quotes them (compopt -o filenames) and marks folders with a slash.
_quillora_cli_paths() {
  local path
  path=$(_quillora_cli_dequote "$cur")
  compopt -o filenames 2>/dev/null
  case $1 in
    folders) mapfile -t COMPREPLY < <(compgen -d -- "$path") ;;
    checkfiles)
      # The names and extensions that say a file is a check file, letter
      # case ignored, also with a trailing .txt or .asc (a renamed or signed
      # copy), as the verifier takes them.
      local extensions='md5|md5sum|sha1|sha1sum|sha224|sha224sum|sha256|sha256sum|sha384|sha384sum|sha512|sha512sum'
      extensions+='|b2|b2sum|sfv'
      local names='md5sums|md5sum|sha1sums|sha1sum|sha224sums|sha224sum|sha256sums|sha256sum|shasums256'
      names+='|sha384sums|sha384sum|sha512sums|sha512sum|sha512-224sums|sha512-256sums'
      names+='|sha3-224sums|sha3-256sums|sha3-384sums|sha3-512sums|b2sums|blake2ssums|sm3sums'
      local file pattern="^((.*/)?($names)|.*\\.($extensions))(\\.(txt|asc))?\$"
      mapfile -t COMPREPLY < <(compgen -d -- "$path"
        compgen -f -- "$path" | while IFS= read -r file; do
          [[ ! -d $file && ${file,,} =~ $pattern ]] && printf '%s\n' "$file"
        done)
      ;;
    *) mapfile -t COMPREPLY < <(compgen -f -- "$path") ;;
  esac
}

_quillora_cli() {
  local cur prev word command="" options_end=0 i
  COMPREPLY=()
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD-1]}
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if ((!options_end)); then
      case $word in
        --) options_end=1; continue ;;
        -j | --jobs | --engine | --format | --base-folder | -a | --algorithm | -l | --length) ((++i)); continue ;;
        --check) [[ -z $command ]] && command=check; continue ;;
        --*) continue ;;
        -*)
          # -c, alone or among other options without a value, is check.
          [[ -z $command && $word =~ ^-[bhtwzV]*c[bhtwzV]*$ ]] && command=check
          continue
          ;;
      esac
    fi
    case $word in
      hash | make | verify | check) [[ -z $command ]] && command=$word ;;
    esac
  done
  if ((!options_end)); then
    case $prev in
      -j | --jobs)
        COMPREPLY=($(compgen -W "1 2 4 8" -- "$cur"))
        return
        ;;
      --engine)
        COMPREPLY=($(compgen -W "scalar avx2 avx512 sha-ni" -- "$cur"))
        return
        ;;
      --format)
        COMPREPLY=($(compgen -W "quillora md5sum" -- "$cur"))
        return
        ;;
      -a | --algorithm)
        COMPREPLY=($(compgen -W "md5 sha1 sha2 sha224 sha256 sha384 sha512 sha512-224 sha512-256 sha3 blake2b blake2s
          sm3 crc32b" -- "$cur"))
        return
        ;;
      -l | --length)
        COMPREPLY=($(compgen -W "128 160 224 256 384 512" -- "$cur"))
        return
        ;;
      --base-folder)
        _quillora_cli_paths folders
        return
        ;;
    esac
    local common="--jobs --engine --progress --no-progress --help --version"
    if [[ $cur == -* ]]; then
      case $command in
        make) COMPREPLY=($(compgen -W "$common --no-subfolders --algorithm --length --tag --format" -- "$cur")) ;;
        hash)
          COMPREPLY=($(compgen -W "$common --algorithm --length --tag --binary --text --zero --format" -- "$cur"))
          ;;
        verify)
          COMPREPLY=($(compgen -W "$common --quiet --status --new --ignore-missing --base-folder --strict --warn \
            --algorithm --length" -- "$cur"))
          ;;
        check)
          COMPREPLY=($(compgen -W "$common --check --quiet --status --ignore-missing --strict --warn --algorithm \
            --length --zero" -- "$cur"))
          ;;
        *) COMPREPLY=($(compgen -W "$common" -- "$cur")) ;;
      esac
      return
    fi
  fi
  case $command in
    "") COMPREPLY=($(compgen -W "hash make verify check" -- "$cur")) ;;
    make) _quillora_cli_paths folders ;;
    verify | check) _quillora_cli_paths checkfiles ;;
    *) _quillora_cli_paths files ;;
  esac
}
complete -F _quillora_cli quillora-cli
