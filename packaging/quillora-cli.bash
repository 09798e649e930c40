# bash completion for quillora-cli: its commands, each command's options, and
# paths (folders for make, check files and folders for verify, anything for
# hash).
_quillora_cli() {
  local cur prev word command="" i
  COMPREPLY=()
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD-1]}
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    case $word in
      hash | make | verify)
        command=$word
        break
        ;;
      -j | --jobs | --engine | --format) ((i++)) ;;
    esac
  done
  case $prev in
    -j | --jobs)
      COMPREPLY=($(compgen -W "1 2 4 8" -- "$cur"))
      return
      ;;
    --engine)
      COMPREPLY=($(compgen -W "scalar avx2 avx512" -- "$cur"))
      return
      ;;
    --format)
      COMPREPLY=($(compgen -W "quillora md5sum" -- "$cur"))
      return
      ;;
  esac
  local common="--jobs --engine --progress --no-progress --help --version"
  if [[ $cur == -* ]]; then
    case $command in
      make) COMPREPLY=($(compgen -W "$common --no-subfolders --format" -- "$cur")) ;;
      hash) COMPREPLY=($(compgen -W "$common --format" -- "$cur")) ;;
      verify) COMPREPLY=($(compgen -W "$common --quiet --status --new" -- "$cur")) ;;
      *) COMPREPLY=($(compgen -W "$common" -- "$cur")) ;;
    esac
    return
  fi
  case $command in
    "") COMPREPLY=($(compgen -W "hash make verify" -- "$cur")) ;;
    make) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -d -- "$cur")) ;;
    verify)
      compopt -o filenames 2>/dev/null
      COMPREPLY=($(compgen -d -- "$cur") $(compgen -f -X '!*.[mM][dD]5' -- "$cur")
        $(compgen -f -X '!*.md5sum' -- "$cur") $(compgen -f -X '!*MD5SUMS' -- "$cur"))
      ;;
    *) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- "$cur")) ;;
  esac
}
complete -F _quillora_cli quillora-cli
