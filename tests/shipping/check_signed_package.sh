#!/usr/bin/env bash
# The package as a studio signs it, with a throwaway certificate authority
# and code-signing certificate made here by openssl: osslsigncode, trusting
# that authority, accepts every program of the zip, the installer and the
# uninstaller it writes (installed under Wine), signed by the studio's
# certificate; it refuses a signed program with one byte changed, and the
# same signatures without the authority. Unsigned, the package warns and
# carries no signature. A wrong password signs nothing and packs nothing.
#   check_signed_package.sh SOURCE_DIR WINDOWS_BUILD_DIR
set -uo pipefail
sources=$1 build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# Wine as the Windows stage runs it; the stage's prefix when run by hand.
export WINEPREFIX=${WINEPREFIX:-$build/wine} WINEDEBUG=-all
# No menu entries on this machine's desktop for the installer's shortcuts.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=;mshtml=};winemenubuilder.exe=d"
[ -f "$WINEPREFIX/system.reg" ] || { echo "FAIL: no Wine prefix in $WINEPREFIX (scripts/test-windows prepares it)"; exit 1; }

quiet() { "$@" >/dev/null 2>&1; }
quiet openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quillmoor Throwaway CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" -keyout ca.key -out ca.pem
quiet openssl req -newkey rsa:2048 -nodes -subj "/CN=Quillmoor Test Studio" -keyout studio.key -out studio.csr
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >studio.ext
quiet openssl x509 -req -days 2 -in studio.csr -CA ca.pem -CAkey ca.key -CAcreateserial -extfile studio.ext \
  -out studio.pem
printf 'tern over the marsh\n' >password
quiet openssl pkcs12 -export -inkey studio.key -in studio.pem -certfile ca.pem -passout file:password -out studio.p12
quiet openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Someone Else" -keyout other.key -out other.pem
[ -s studio.p12 ] && [ -s other.pem ] || { echo "FAIL: openssl made no certificates"; exit 1; }

package() {  # name, options...
  local name=$1
  shift
  "$sources/scripts/package-windows" --no-build --build "$build" --out "$work/$name.zip" "$@" \
    >"$name.out" 2>"$name.err"
}

# Accepted when trusting the throwaway authority, and signed by the studio.
accepted() {  # file
  local said
  said=$(osslsigncode verify -CAfile ca.pem -in "$1" 2>&1) || { fail "$1 is not accepted: $(tail -n 4 <<<"$said")"; return; }
  grep -q 'Quillmoor Test Studio' <<<"$said" || fail "$1 is not signed by the studio's certificate: $said"
}
refused() {  # why, options...
  local why=$1
  shift
  if quiet osslsigncode verify "$@"; then fail "accepted $why"; fi
}

package signed --installer "$work/QuillmoorSetup.exe" --sign-pkcs12 studio.p12 --sign-password-file password ||
  fail "signed package: $(cat signed.err)"
grep -q unsigned signed.err && fail "a signed package warns that it is unsigned: $(cat signed.err)"
mkdir signed && unzip -q signed.zip -d signed
programs=$(cd signed && find . -iname '*.exe' | sort | tr '\n' ' ')
[ "$programs" = "./Launcher.exe ./quillmoor-headless.exe " ] || fail "the programs shipped: $programs"
for file in signed/Launcher.exe signed/quillmoor-headless.exe QuillmoorSetup.exe; do
  accepted "$file"
done
refused "a signature without its authority" -CAfile other.pem -in signed/Launcher.exe
# One byte of the program's code changed.
cp signed/Launcher.exe changed.exe
byte=$(od -An -tu1 -j 4096 -N1 changed.exe | tr -d ' ')
printf "\\$(printf %03o $(((byte + 1) % 256)))" | dd of=changed.exe bs=1 seek=4096 conv=notrunc status=none
cmp -s changed.exe signed/Launcher.exe && fail "the byte was not changed"
refused "a changed program" -CAfile ca.pem -in changed.exe

# The uninstaller is written by the installer: installed into a folder here
# and uninstalled again in place (_?= waits for it), so that the prefix
# keeps no entry or shortcut.
installed=$work/installed
windows_installed="Z:${installed//\//\\}"
wine "$work/QuillmoorSetup.exe" /S "/D=$windows_installed" >/dev/null 2>&1 || fail "the signed installer failed"
if [ -f "$installed/uninstall.exe" ]; then
  accepted "$installed/uninstall.exe"
  wine "$installed/uninstall.exe" /S "_?=$windows_installed" >/dev/null 2>&1 || fail "the uninstaller failed"
else
  fail "no uninstaller in $installed"
fi

# Unsigned: said so, and nothing carries a signature.
package unsigned --no-installer || fail "unsigned package: $(cat unsigned.err)"
grep -q 'warning: the package is unsigned' unsigned.err || fail "no warning for an unsigned package: $(cat unsigned.err)"
mkdir unsigned && unzip -q unsigned.zip -d unsigned
refused "an unsigned program" -CAfile ca.pem -in unsigned/Launcher.exe

# A wrong password: the package fails and leaves no zip behind.
printf 'wrong\n' >wrong
if package wrong --no-installer --sign-pkcs12 studio.p12 --sign-password-file wrong; then
  fail "a wrong password packed"
fi
grep -q 'signing .*Launcher.exe failed' wrong.err || fail "a wrong password's message: $(cat wrong.err)"
[ -e wrong.zip ] && fail "a wrong password left wrong.zip"

[ "$failures" -eq 0 ] || exit 1
echo "checked: signed, changed, unsigned and wrongly signed packages"
