# bash completion of kvrn-prefs: commands, options, levels, applications and preference names.
# The words come from kvrn-prefs itself ("kvrn-prefs complete ..."), so they always match the
# program; the installation options already typed are passed on, so that names come from the
# installation the command line names.

_kvrn_prefs() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local prev=${COMP_WORDS[COMP_CWORD - 1]}
  local program=${COMP_WORDS[0]}
  local -a installation=()
  local command="" i
  local -i position=0 # the argument being completed, counted after the command
  COMPREPLY=()
  for ((i = 1; i < COMP_CWORD; i++)); do
    case ${COMP_WORDS[i]} in
    --base | --site | --group | --user | --lang | --def-dir | --local-user-defaults)
      installation+=("${COMP_WORDS[i]}" "${COMP_WORDS[i + 1]}")
      ((i++))
      ;;
    --level | --comment | --output | -o | --port | --idle-timeout | --count | --timeout | \
      --generation | --against-generation | --against-level | --against-file | --against-base | \
      --against-site | --against-group | --against-user) ((i++)) ;;
    -*) ;;
    *)
      if [[ -z $command ]]; then
        command=${COMP_WORDS[i]}
      else
        position+=1
      fi
      ;;
    esac
  done

  local words=""
  case $prev in
  --level | --against-level) words=$("$program" complete levels 2>/dev/null) ;;
  --base | --site | --group | --user | --def-dir | --against-base | --against-site | \
    --against-group | --against-user)
    mapfile -t COMPREPLY < <(compgen -d -- "$cur")
    return
    ;;
  --local-user-defaults | --output | -o | --against-file)
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    return
    ;;
  --comment | --lang | --port | --idle-timeout | --count | --timeout) return ;;
  *)
    if [[ $cur == -* ]]; then
      words=$("$program" complete options "$command" 2>/dev/null)
    elif [[ -z $command ]]; then
      words=$("$program" complete commands 2>/dev/null)
    else
      case $command:$position in
      get:0 | explain:0 | set:0 | reset:0 | lock:0 | unlock:0 | comment:0 | watch:*)
        words=$("$program" "${installation[@]}" complete names 2>/dev/null)
        ;;
      list:0 | report:0)
        words=$("$program" "${installation[@]}" complete applications 2>/dev/null)
        ;;
      help:0) words=$("$program" complete commands 2>/dev/null) ;;
      level-lock:0) words="locked unlocked" ;;
      complete:0) words="commands options levels names applications" ;;
      validate:*)
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
        ;;
      esac
    fi
    ;;
  esac
  mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
}

complete -F _kvrn_prefs kvrn-prefs
