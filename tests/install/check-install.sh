#!/usr/bin/env bash
# Installs a build into a scratch DESTDIR and checks what a desktop and a user meet there: the
# programs, the desktop entry, the icons, the AppStream metadata, the manual pages and the bash
# completion; then runs the installed velinor-cli on a sample clip.
# Usage: check-install.sh BUILD_DIR WITH_WINDOW(ON|OFF) VELINOR_SAMPLES
set -euo pipefail
build=$1 window=$2 samples_program=$3

scratch=$(mktemp -d "${TMPDIR:-/tmp}/velinor-install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
root=$scratch/root
DESTDIR=$root cmake --install "$build" --prefix /usr >"$scratch/install.log" ||
  { cat "$scratch/install.log"; exit 1; }

status=0
fail() { echo "$*"; status=1; }
usr=$root/usr
app=fr.morvane.Velinor

expected=(
  bin/velinor-cli
  share/man/man1/velinor-cli.1.gz
  share/bash-completion/completions/velinor-cli
  share/doc/velinor/copyright
  share/doc/velinor/changelog.gz
)
icon_sizes=(16 22 24 32 48 64 128 256 512)
if [[ $window == ON ]]; then
  expected+=(
    bin/velinor
    share/man/man1/velinor.1.gz
    share/applications/$app.desktop
    share/metainfo/$app.metainfo.xml
    share/icons/hicolor/scalable/apps/$app.svg
  )
  for size in "${icon_sizes[@]}"; do expected+=("share/icons/hicolor/${size}x${size}/apps/$app.png"); done
fi
for file in "${expected[@]}"; do [[ -f $usr/$file ]] || fail "not installed: /usr/$file"; done
# Nothing else: no test program, benchmark or build tool reaches a user's machine.
unexpected=$(cd "$usr" && find . -type f | sed 's|^\./||' | sort | comm -23 - <(printf '%s\n' "${expected[@]}" | sort))
[[ -z $unexpected ]] || fail "installed but not expected: $unexpected"

for program in "$usr"/bin/*; do
  [[ -x $program ]] || fail "not executable: $program"
done

if [[ $window == ON ]]; then
  desktop-file-validate "$usr/share/applications/$app.desktop" || fail "desktop-file-validate failed"
  appstreamcli validate --no-net --explain "$usr/share/metainfo/$app.metainfo.xml" >"$scratch/appstream.log" 2>&1 ||
    { cat "$scratch/appstream.log"; fail "appstreamcli validate failed"; }
  # The entry names the icon, the program and the AppStream id names the entry.
  grep -qx "Icon=$app" "$usr/share/applications/$app.desktop" || fail "the desktop entry names another icon"
  grep -qx "Exec=velinor %F" "$usr/share/applications/$app.desktop" || fail "the desktop entry starts another program"
  grep -q "<launchable type=\"desktop-id\">$app.desktop</launchable>" "$usr/share/metainfo/$app.metainfo.xml" ||
    fail "the metainfo names another desktop entry"
  for size in "${icon_sizes[@]}"; do
    png=$usr/share/icons/hicolor/${size}x${size}/apps/$app.png
    [[ -f $png ]] || continue
    file -b "$png" | grep -q "PNG image data, $size x $size," || fail "$png is not a $size x $size PNG: $(file -b "$png")"
  done
fi

# The pages are gzipped and render without a warning.
for page in "$usr"/share/man/man1/*.gz; do
  gzip -t "$page" || fail "not a gzip file: $page"
  if command -v man >/dev/null; then
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null || true)
    [[ -z $warnings ]] || fail "$page: $warnings"
  fi
done

# Every value the build fills in is filled in.
for file in "$usr"/share/man/man1/*.gz "$usr"/share/doc/velinor/changelog.gz; do
  ! zcat "$file" | grep -q '@[A-Z_]*@' || fail "$file has an unfilled value"
done
for file in "$usr"/share/metainfo/*.xml "$usr"/share/bash-completion/completions/*; do
  ! grep -q '@[A-Z_]*@' "$file" || fail "$file has an unfilled value"
done

completion=$usr/share/bash-completion/completions/velinor-cli
bash -n "$completion" || fail "the bash completion does not parse"
bash -c "source '$completion' && complete -p velinor-cli" >/dev/null || fail "the completion registers no function"
grep -q '^_velinor_cli_commands=".*CreerScnByDate' "$completion" || fail "the completion has no command names"

# The installed velinor-cli reads a clip the way the build's does.
mkdir "$scratch/clips"
"$samples_program" "$scratch/clips" >/dev/null
clip=$(find "$scratch/clips" -name '*.avi' | sort | head -n 1)
[[ -n $clip ]] || fail "velinor-samples wrote no clip"
if output=$("$usr/bin/velinor-cli" info "$clip"); then
  grep -q "Datecode :" <<<"$output" || fail "velinor-cli info printed no datecode: $output"
else
  fail "the installed velinor-cli failed on $clip"
fi
exit $status
