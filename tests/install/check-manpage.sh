#!/usr/bin/env bash
# Checks that the manual page of velinor-cli describes what the program says it does: every verb
# and option of "velinor-cli help", and every command of the run verb.
# Usage: check-manpage.sh MANPAGE VELINOR_CLI VELINOR_COMMAND_NAMES
set -euo pipefail
page=$1 cli=$2 names=$3

# The page's text without roff's font changes and escaped hyphens, so "\fB\-\-json\fR" reads "--json".
text=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\(em/-/g' "$page")
help=$("$cli" help)
status=0

# The usage lines of "help": two spaces, the verb, its arguments.
verbs=$(sed -n 's/^  \([a-z][a-z-]*\).*/\1/p' <<<"$help")
[[ -n $verbs ]] || { echo "velinor-cli help lists no verb:"; echo "$help"; exit 1; }
for verb in $verbs; do
  # Each verb has its line in the synopsis.
  grep -qx "\.B velinor-cli $verb" <<<"$text" || { echo "verb missing from the synopsis: $verb"; status=1; }
done

for option in $(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
  grep -q -- "$option\b" <<<"$text" || { echo "option missing from the manual page: $option"; status=1; }
done

# Commands are listed in bold, one a term or several separated by commas.
while read -r name; do
  grep -Eq "^\.B[R]? (.*[ \"])?$name([ \",]|$)" <<<"$text" || { echo "command missing from the manual page: $name"; status=1; }
done < <("$names")

# Every section a reader looks for.
for section in SYNOPSIS VERBES OPTIONS COMMANDES '"CODE DE RETOUR"' EXEMPLES; do
  grep -qx "\.SH $section" <<<"$text" || { echo "section missing: $section"; status=1; }
done
exit $status
