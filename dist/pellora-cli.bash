# bash completion for pellora-cli: commands, options, field numbers, file names by kind.
# Needs nothing but bash itself.

# Offers paths: "folders", "databases" (folders and .dbx/.mbx/.pst/.ost files) or "files" (anything).
_pellora_cli_paths() {
  local IFS=$'\n' cur=${COMP_WORDS[COMP_CWORD]}
  compopt -o filenames 2>/dev/null
  case $1 in
  folders) COMPREPLY=($(compgen -d -- "$cur")) ;;
  databases)
    COMPREPLY=($(compgen -d -- "$cur")
               $(compgen -f -X '!*.[dD][bB][xX]' -- "$cur")
               $(compgen -f -X '!*.[mM][bB][xX]' -- "$cur")
               $(compgen -f -X '!*.[pPoO][sS][tT]' -- "$cur")) ;;
  *) COMPREPLY=($(compgen -f -- "$cur")) ;;
  esac
}

_pellora_cli() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local fields="0 1 2 3 4 5 6"
  COMPREPLY=()
  if ((COMP_CWORD == 1)); then
    COMPREPLY=($(compgen -W "addresses export filter kind list message search stores text --help --version" -- "$cur"))
    return
  fi
  local command=${COMP_WORDS[1]}
  case $prev in
  --kind) COMPREPLY=($(compgen -W "0 1 2 3" -- "$cur")); return ;;
  --eml | --attachments | --pdf | --profile) _pellora_cli_paths folders; return ;;
  --mbox | --pdf-one | --csv) _pellora_cli_paths files; return ;;
  --filter) COMPREPLY=($(compgen -W "$fields" -- "$cur")); return ;;
  --index | --folder) return ;;
  esac
  ((COMP_CWORD > 3)) && [[ ${COMP_WORDS[COMP_CWORD - 2]} == --filter ]] && return # its VALUE

  local options=
  case $command in
  addresses | filter) options="--kind" ;;
  text) options="--kind --lines --recover" ;;
  list) options="--kind --json --recover --folder --threads" ;;
  search) options="--kind --json" ;;
  export) options="--kind --eml --mbox --attachments --pdf --pdf-one --csv --index --filter --overwrite --recover" ;;
  stores) options="--profile --json" ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    return
  fi

  # Which argument this is, not counting options and their values; the kind asked for.
  local i positional=0 kind=
  for ((i = 2; i < COMP_CWORD; i++)); do
    case ${COMP_WORDS[i]} in
    --kind) kind=${COMP_WORDS[i + 1]}; ((i++)) ;;
    --eml | --mbox | --attachments | --pdf | --pdf-one | --csv | --index | --profile | --folder) ((i++)) ;;
    --filter) ((i += 2)) ;;
    -*) ;;
    *) ((positional++)) ;;
    esac
  done
  local store=files
  case $kind in
  0) store=databases ;;
  1) store=folders ;;
  esac
  case $command in
  kind) _pellora_cli_paths files ;;
  message) ((positional == 0)) && _pellora_cli_paths files ;;
  search) _pellora_cli_paths $store ;; # paths, then the query
  addresses | list | text | export) ((positional == 0)) && _pellora_cli_paths $store ;;
  filter)
    if ((positional == 0)); then
      _pellora_cli_paths $store
    elif ((positional == 1)); then
      COMPREPLY=($(compgen -W "$fields" -- "$cur"))
    fi ;;
  esac
  return 0
}

complete -F _pellora_cli pellora-cli
