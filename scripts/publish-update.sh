#!/usr/bin/env bash
# One release, signed, in one command:
#
#   scripts/publish-update.sh --key PRIVATE.pem --version V --app-dir DIR --base-url URL
#                             --out OUTDIR [--run NAME] [--previous-dir OLDDIR] [--expires-days N]
#
# writes into OUTDIR what the update server serves from URL:
#   full-V.7z       every file of DIR (the application folder of version V)
#   patch-V.7z      with --previous-dir: only the files of DIR that are new or changed since
#                   OLDDIR (the application folder of the release before)
#   update.xml      version V as an archive update that starts NAME (a path in DIR) afterwards:
#                   UpdateExe offers the patch (or, without one, the whole archive), UpdateExeEx
#                   the whole archive; each item with sha256 and size; on the root, serial (the
#                   seconds since 1970, above the serial of an update.xml already in OUTDIR) and
#                   expires (N days on, 30 unless given)
#   update.xml.sig  its signature with PRIVATE.pem, checked before this script returns, also
#                   against the public keys in DIR and OLDDIR's update-key.pem when they hold one
#
# The updater offers UpdateExe to users at most 0.3 below V and UpdateExeEx to the others, and
# the manifest cannot name the version a patch was made from: publish a patch only when every
# version users may run between V - 0.3 and V is the previous release itself.
# Needs bash, openssl and 7zz (scripts/install-deps.sh installs them).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)

fail() {
  echo "publish-update.sh: $*" >&2
  exit 1
}

usage() {
  sed -n '2,24p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

key='' version='' app_dir='' base_url='' out='' run_name='' previous_dir='' expires_days=30
while [[ $# -gt 0 ]]; do
  [[ $# -ge 2 ]] || usage
  case "$1" in
    --key) key=$2 ;;
    --version) version=$2 ;;
    --app-dir) app_dir=$2 ;;
    --base-url) base_url=$2 ;;
    --out) out=$2 ;;
    --run) run_name=$2 ;;
    --previous-dir) previous_dir=$2 ;;
    --expires-days) expires_days=$2 ;;
    *) usage ;;
  esac
  shift 2
done
[[ -n "$key" && -n "$version" && -n "$app_dir" && -n "$base_url" && -n "$out" ]] || usage

# The updater reads the version as a decimal number, and it goes into the package names.
[[ "$version" =~ ^[0-9]+(\.[0-9]+)?$ ]] || fail "--version '$version' is not a decimal number"
[[ "$expires_days" =~ ^[1-9][0-9]{0,4}$ ]] ||
  fail "--expires-days '$expires_days' is not 1 to 99999"
[[ "$base_url" =~ ^https?://[^/?#]+(/[^?#]*)?$ ]] ||
  fail "--base-url '$base_url' is not an http:// or https:// address without query or fragment"
[[ -f "$key" ]] || fail "$key is not a file"
[[ -d "$app_dir" ]] || fail "$app_dir is not a folder"
[[ -z "$previous_dir" || -d "$previous_dir" ]] || fail "$previous_dir is not a folder"
if [[ -n "$run_name" ]]; then
  # The run target is a path relative to the application folder, in the updater's spelling.
  [[ "$run_name" != [/\\]* && ! "$run_name" =~ (^|[/\\])\.\.([/\\]|$) ]] ||
    fail "--run '$run_name' must stay in the folder"
  [[ -f "$app_dir/${run_name//\\//}" ]] || fail "--run '$run_name' is not a file in $app_dir"
fi
if ! command -v openssl >/dev/null || ! command -v 7zz >/dev/null; then
  "$here/install-deps.sh" >/dev/null ||
    fail "openssl or 7zz is missing: run scripts/install-deps.sh"
fi

mkdir -p "$out"
out=$(cd "$out" && pwd)
app_dir=$(cd "$app_dir" && pwd)
# Packages made inside the folder they pack would ship in the next release's archive.
[[ "$out/" != "$app_dir/"* ]] || fail "--out must not lie inside --app-dir"
base_url=${base_url%/}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Text for an XML attribute value.
xml() {
  local text=${1//&/&amp;}
  text=${text//</&lt;}
  text=${text//>/&gt;}
  printf '%s' "${text//\"/&quot;}"
}

# The files of a folder, one relative path a line, in a stable order.
list_files() {
  (cd "$1" && find . -type f -printf '%P\n' | LC_ALL=C sort)
}

# pack ARCHIVE LIST: the files named in LIST (relative to the application folder), names taken
# literally.
pack() {
  (cd "$app_dir" && 7zz a -t7z -bd -y -spd -mx=7 "$1" "@$2" >/dev/null) ||
    fail "7zz could not make $1"
}

list_files "$app_dir" >"$work/all"
[[ -s "$work/all" ]] || fail "$app_dir holds no files"
if LC_ALL=C grep -q '[[:cntrl:]]' "$work/all"; then
  fail "$app_dir holds a file name with a control character"
fi
full="full-$version.7z"
pack "$work/$full" "$work/all"

patch=''
if [[ -n "$previous_dir" ]]; then
  : >"$work/changed"
  while IFS= read -r file; do
    cmp -s "$app_dir/$file" "$previous_dir/$file" || printf '%s\n' "$file" >>"$work/changed"
  done <"$work/all"
  if [[ -s "$work/changed" ]]; then
    patch="patch-$version.7z"
    pack "$work/$patch" "$work/changed"
    echo "patch: $(wc -l <"$work/changed") of $(wc -l <"$work/all") files"
  else
    echo "publish-update.sh: nothing changed since $previous_dir:" \
      "UpdateExe offers the whole archive" >&2
  fi
fi

# <item .../> for a package made in the scratch folder.
item() {
  local digest size
  digest=$("$here/sign-update.sh" digest "$work/$1")
  size=$(stat -c %s "$work/$1")
  printf '<item name="%s" url="%s" sha256="%s" size="%s"/>' \
    "$(xml "$1")" "$(xml "$base_url/$1")" "$digest" "$size"
}

# Serials only grow, even when this machine's clock is behind the last release's.
serial=$(date -u +%s)
if [[ -f "$out/update.xml" ]]; then
  last=$(sed -n 's/.*<config[^>]* serial="\([0-9]\{1,18\}\)".*/\1/p' "$out/update.xml" | head -n 1)
  if [[ -n "$last" ]] && ((last >= serial)); then serial=$((last + 1)); fi
fi
expires=$(date -u -d "@$((serial + expires_days * 86400))" +%Y-%m-%dT%H:%M:%SZ)
run_attribute=''
[[ -z "$run_name" ]] || run_attribute=" run=\"$(xml "$run_name")\""
{
  printf '<?xml version="1.0" encoding="utf-8"?>\n'
  printf '<config serial="%s" expires="%s">\n' "$serial" "$expires"
  printf '  <update version="%s" type="0"%s/>\n' "$version" "$run_attribute"
  printf '  <UpdateExe>\n    %s\n  </UpdateExe>\n' "$(item "${patch:-$full}")"
  printf '  <UpdateExeEx>\n    %s\n  </UpdateExeEx>\n' "$(item "$full")"
  printf '</config>\n'
} >"$work/update.xml"
"$here/sign-update.sh" sign "$work/update.xml" "$key" >/dev/null

# A signature the users' key file does not take would refuse every later update: check it
# against each public key shipped in the new and the previous application folder.
verifies_with_one_of() {
  local block
  rm -f "$work"/shipped-*.pem
  awk -v dir="$work" '/-----BEGIN PUBLIC KEY-----/ { n++ }
                      n { print > (dir "/shipped-" n ".pem") }' "$1"
  for block in "$work"/shipped-*.pem; do
    [[ -f "$block" ]] || continue
    openssl dgst -sha256 -verify "$block" -signature "$work/update.xml.sig" "$work/update.xml" \
      >/dev/null 2>&1 && return 0
  done
  return 1
}
for folder in "$app_dir" ${previous_dir:+"$previous_dir"}; do
  if [[ -f "$folder/update-key.pem" ]] && ! verifies_with_one_of "$folder/update-key.pem"; then
    fail "$key is not one of the keys in $folder/update-key.pem: its users would refuse this update"
  fi
done

# The packages first, the manifest and its signature last, so that a server already serving
# OUTDIR never offers a package that is not there yet.
for file in "$full" $patch; do mv -f "$work/$file" "$out/$file"; done
mv -f "$work/update.xml" "$out/update.xml.new"
mv -f "$work/update.xml.sig" "$out/update.xml.sig.new"
mv -f "$out/update.xml.new" "$out/update.xml"
mv -f "$out/update.xml.sig.new" "$out/update.xml.sig"
echo "published version $version (serial $serial, expires $expires) into $out:"
echo "  $full${patch:+ $patch} update.xml update.xml.sig"
