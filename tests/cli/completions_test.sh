#!/usr/bin/env bash
# Keeps the shell completions in step with q73580-cli itself: every command and long option that
# `q73580-cli --help` and each command's --help list has to be in the bash, zsh and fish
# completion. The bash one, and the fish one where fish is installed, are run too: each command
# has to be offered exactly the options its --help lists. zsh and fish, where installed, parse
# their files.
#   completions_test.sh Q73580_CLI PACKAGING_DIR
set -euo pipefail

cli=$1
bash_file=$2/q73580-cli.bash-completion
zsh_file=$2/q73580-cli.zsh-completion
fish_file=$2/q73580-cli.fish

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The long options a --help text lists, one a line.
long_options() { sed -nE 's/^  (-[a-zA-Z],)?(--[a-z0-9-]+).*/\2/p' | sort -u; }
# A name standing alone in a file, not as a part of a longer one.
has_word() { grep -qE -- "(^|[^a-zA-Z0-9-])$2([^a-zA-Z0-9-]|\$)" "$1"; }

general=$("$cli" --help)
# "probe", "clock get", ...: the first one or two words of each line under "Commands:".
mapfile -t commands < <(sed -nE '/^Commands:$/,/^$/s/^  ([a-z-]+( [a-z]+)?)  .*/\1/p' <<<"$general")
first_words=$(printf '%s\n' "${commands[@]}" | cut -d' ' -f1 | sort -u)
declare -A options
options[top]=$(long_options <<<"$general")
for command in "${commands[@]}"; do
  [ "$command" = help ] && continue # its --help is the general one
  # shellcheck disable=SC2086 # the command's words
  text=$("$cli" $command --help)
  [[ $text == "Usage: q73580-cli $command "* ]] || fail "'$command --help' says: $text"
  options[$command]=$(long_options <<<"$text")
done
all_options=$(printf '%s\n' "${options[@]}" | sort -u)
# Not a list that an unexpected --help format left empty.
if [ "${#commands[@]}" -lt 10 ] || [ "$(wc -l <<<"$all_options")" -lt 20 ]; then
  echo "FAIL: too few commands or options read from --help: ${commands[*]} ${all_options//$'\n'/ }" >&2
  exit 1
fi

# 1. Every name is in every file (fish names an option by "-l NAME").
for option in $all_options; do
  has_word "$bash_file" "$option" || fail "$option is not in $bash_file"
  has_word "$zsh_file" "$option" || fail "$option is not in $zsh_file"
  has_word "$fish_file" "-l ${option#--}" || fail "$option is not in $fish_file"
done
for word in $(printf '%s\n' "${commands[@]}" | tr ' ' '\n' | sort -u); do
  for file in "$bash_file" "$zsh_file" "$fish_file"; do
    has_word "$file" "$word" || fail "command word '$word' is not in $file"
  done
done

# 2. What each completion offers, by command: the command words after the program, the second
# words after the first, and each command's long options after "--".
expect() { # SHELL WORDS... EXPECTED: compares what SHELL offers for the words' last one
  local shell=$1 expected=${*: -1} got
  local -a words=("${@:2:$#-2}")
  if [ "$shell" = bash ]; then
    # shellcheck disable=SC2016 # expanded by the inner shell
    got=$(bash --norc --noprofile -c 'source "$0"; COMP_WORDS=(q73580-cli "$@")
      COMP_CWORD=$#; _q73580_cli; printf "%s\n" "${COMPREPLY[@]}"' "$bash_file" "${words[@]}")
  else
    # shellcheck disable=SC2016
    got=$(fish --no-config -c 'source $argv[1]; complete -C $argv[2]' "$fish_file" \
      "q73580-cli ${words[*]}" | cut -f1)
  fi
  got=$(grep -v '^-[^-]' <<<"$got" | grep . | sort -u || true)
  [ "$got" = "$expected" ] || fail "$shell offers for 'q73580-cli ${words[*]}': ${got//$'\n'/ }
  expected: ${expected//$'\n'/ }"
}
shells=(bash)
if command -v fish >/dev/null; then
  shells+=(fish)
  # fish keeps its history and variables under these; none of the user's.
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  export HOME=$scratch XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data
  export XDG_CACHE_HOME=$scratch/cache
fi
for shell in "${shells[@]}"; do
  expect "$shell" "" "$first_words"
  expect "$shell" -- "${options[top]}"
  for first in $first_words; do
    second=$(printf '%s\n' "${commands[@]}" | sed -n "s/^$first \(.*\)/\1/p" | sort -u)
    [ -z "$second" ] || expect "$shell" "$first" "" "$second"
  done
  for command in "${commands[@]}"; do
    [ "$command" = help ] && continue
    # shellcheck disable=SC2086
    expect "$shell" $command -- "${options[$command]}"
  done
done

# 3. The shells that are here parse their files.
if command -v zsh >/dev/null; then
  zsh -n "$zsh_file" || fail "zsh -n $zsh_file"
else
  echo "zsh is not installed: $zsh_file is not parsed"
fi
if command -v fish >/dev/null; then
  fish --no-config -n "$fish_file" || fail "fish -n $fish_file"
else
  echo "fish is not installed: $fish_file is neither parsed nor run"
fi

[ "$failures" -eq 0 ] || exit 1
echo "completions of ${#commands[@]} commands and $(wc -l <<<"$all_options") options checked"
