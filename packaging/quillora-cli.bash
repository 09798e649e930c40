# bash completion for quillora-cli: its commands, each command's options, and
# paths (folders for make, check files and folders for verify, anything for
# hash). Names are offered whole, blanks and all, and after "--" every word
# is a path. Its lists of options and engines follow the program's tables:
# options_test.sh fails when they differ.

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
      mapfile -t COMPREPLY < <(compgen -d -- "$path"; compgen -f -X '!*.[mM][dD]5' -- "$path"
        compgen -f -X '!*.md5sum' -- "$path"; compgen -f -X '!*MD5SUMS' -- "$path")
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
        -*) continue ;;
      esac
    fi
    case $word in
      hash | make | verify) [[ -z $command ]] && command=$word ;;
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
        COMPREPLY=($(compgen -W "md5 sha1 sha224 sha256 sha384 sha512 sha2 sha3 blake2b sm3" -- "$cur"))
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
        hash) COMPREPLY=($(compgen -W "$common --algorithm --length --tag --format" -- "$cur")) ;;
        verify)
          COMPREPLY=($(compgen -W "$common --quiet --status --new --ignore-missing --base-folder --strict --warn \
            --algorithm --length" -- "$cur"))
          ;;
        *) COMPREPLY=($(compgen -W "$common" -- "$cur")) ;;
      esac
      return
    fi
  fi
  case $command in
    "") COMPREPLY=($(compgen -W "hash make verify" -- "$cur")) ;;
    make) _quillora_cli_paths folders ;;
    verify) _quillora_cli_paths checkfiles ;;
    *) _quillora_cli_paths files ;;
  esac
}
complete -F _quillora_cli quillora-cli
