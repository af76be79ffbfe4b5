#!/usr/bin/env bash
# Signed releases, with a throwaway certificate authority that openssl makes in
# a temporary folder (a code-signing certificate in a password-protected
# PKCS#12 file, and a time-stamping certificate):
# - scripts/release.sh refuses, before it builds anything, a checkout with
#   changes that are not committed and half-given signing settings;
# - in a copy of the work tree it releases once unsigned (saying so in one
#   line) and once signed: both signed programs verify against the authority
#   (and not against another), both equal the unsigned release's programs once
#   their signature is removed, the signed fontctl.exe still answers `10` with
#   `0` under Wine, both releases are sound (check_release.py: archive,
#   SHA256SUMS, BUILDINFO) and have the same BUILDINFO;
# - the password never appears on osslsigncode's command lines (recorded by a
#   wrapper on PATH) nor in any output, a wrong one included;
# - with FONTCTL_SIGN_TIMESTAMP_URL, scripts/sign_programs.sh (what release.sh
#   signs with) gets an RFC 3161 time stamp that verifies, from a time-stamp
#   server on 127.0.0.1 (timestamp_server.py), and fails when the server is
#   gone.
# Usage: check_signed_release.sh SOURCE_DIR VERSION
set -euo pipefail
source_dir=$(cd "$1" && pwd)
version=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
server_pid=
cleanup() {
    if [[ -n "$server_pid" ]]; then
        kill "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=1
}
programs=(fontctl.exe fontctl-utf8.exe)
# Whether osslsigncode ran with a command line that starts with PREFIX.
ran_osslsigncode() {
    local line
    while IFS= read -r line; do
        [[ "$line" == "$1"* ]] && return 0
    done <"$work/osslsigncode-commands"
    return 1
}
unset FONTCTL_SIGN_PKCS12 FONTCTL_SIGN_PASSWORD_FILE FONTCTL_SIGN_TIMESTAMP_URL

# The throwaway authority, a code signer and a time-stamping authority it
# certifies, and an unrelated authority that must not accept the signatures.
keys=$work/keys
mkdir -m 700 "$keys"
cat >"$keys/extensions.cnf" <<'EOF'
[code_signing]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[time_stamping]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = critical, timeStamping
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
EOF
make_authority() {  # NAME
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=fontctl test $1" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
        -keyout "$keys/$1.key" -out "$keys/$1.pem" 2>/dev/null
}
make_certificate() {  # NAME AUTHORITY EXTENSIONS
    openssl req -newkey rsa:2048 -nodes -subj "/CN=fontctl test $1" \
        -keyout "$keys/$1.key" -out "$keys/$1.csr" 2>/dev/null
    openssl x509 -req -in "$keys/$1.csr" -CA "$keys/$2.pem" -CAkey "$keys/$2.key" -CAcreateserial -days 2 \
        -extfile "$keys/extensions.cnf" -extensions "$3" -out "$keys/$1.pem" 2>/dev/null
}
make_authority ca
make_authority other-ca
make_certificate signer ca code_signing
make_certificate tsa ca time_stamping
# A password that nothing else in a run would print by chance.
password="pw-$(head -c 18 /dev/urandom | base64 | tr '+/' '._')"
printf '%s\n' "$password" >"$keys/password"
wrong_password="pw-wrong-$(head -c 18 /dev/urandom | base64 | tr '+/' '._')"
printf '%s\n' "$wrong_password" >"$keys/wrong-password"
openssl pkcs12 -export -inkey "$keys/signer.key" -in "$keys/signer.pem" -certfile "$keys/ca.pem" \
    -name "fontctl test signer" -passout "file:$keys/password" -out "$keys/signer.p12"

# osslsigncode as release.sh finds it on PATH, recording each command line.
mkdir "$work/bin"
cat >"$work/bin/osslsigncode" <<EOF
#!/bin/sh
printf '%s\n' "\$*" >>"$work/osslsigncode-commands"
exec /usr/bin/osslsigncode "\$@"
EOF
chmod +x "$work/bin/osslsigncode"
export PATH="$work/bin:$PATH"

src=$work/src
"$here/copy_checkout.sh" "$source_dir" "$src"

# Refusals, each before anything is built: SETUP (undone afterwards), the
# settings, and what the message must say.
refusal_cases=(
    "echo edit >>README.md|-|not committed"
    "echo new >untracked.txt|-|not committed"
    "git update-index --assume-unchanged LICENSE|-|not committed"
    ":|FONTCTL_SIGN_PKCS12=$keys/signer.p12|FONTCTL_SIGN_PASSWORD_FILE"
    ":|FONTCTL_SIGN_PASSWORD_FILE=$keys/password|FONTCTL_SIGN_PKCS12"
    ":|FONTCTL_SIGN_PKCS12=$keys/missing.p12 FONTCTL_SIGN_PASSWORD_FILE=$keys/password|readable"
    ":|FONTCTL_SIGN_TIMESTAMP_URL=http://127.0.0.1:9/|nothing to time-stamp"
)
for case in "${refusal_cases[@]}"; do
    IFS='|' read -r setup settings expected <<<"$case"
    (cd "$src" && eval "$setup")
    environment=()
    if [[ "$settings" != - ]]; then
        read -ra environment <<<"$settings"
    fi
    status=0
    env "${environment[@]}" "$src/scripts/release.sh" >"$work/refusal.log" 2>&1 || status=$?
    if ((status == 0)) || ! grep -qF "$expected" "$work/refusal.log" || [[ -e "$src/build/release" ]]; then
        fail "release.sh after '$setup' with '$settings' exited with status $status, built '$(ls "$src/build" 2>/dev/null)', and said:"
        cat "$work/refusal.log"
    fi
    git -C "$src" update-index --no-assume-unchanged LICENSE
    git -C "$src" checkout -q -- .
    rm -rf "$src/untracked.txt" "$src/build" "$src/dist"
done

# The unsigned release, then the signed one, from the same commit.
if ! "$src/scripts/release.sh" >"$work/unsigned.log" 2>&1; then
    echo "FAIL: the unsigned release failed:"
    cat "$work/unsigned.log"
    exit 1
fi
if [[ "$(grep -c 'not signed' "$work/unsigned.log")" != 1 ]]; then
    fail "the unsigned release does not say in one line that its programs are not signed"
fi
mv "$src/dist" "$work/unsigned"
"$here/check_release.py" "$work/unsigned" "$version" "$src" || failures=1

: >"$work/osslsigncode-commands"
if ! FONTCTL_SIGN_PKCS12=$keys/signer.p12 FONTCTL_SIGN_PASSWORD_FILE=$keys/password \
    "$src/scripts/release.sh" >"$work/signed.log" 2>&1; then
    echo "FAIL: the signed release failed:"
    cat "$work/signed.log"
    exit 1
fi
signed=$src/dist
if grep -q 'not signed' "$work/signed.log"; then
    fail "the signed release says its programs are not signed"
fi
"$here/check_release.py" "$signed" "$version" "$src" || failures=1
if ! cmp -s "$signed/BUILDINFO" "$work/unsigned/BUILDINFO"; then
    fail "the signed and the unsigned release of one commit have different BUILDINFO files"
fi

for program in "${programs[@]}"; do
    if cmp -s "$signed/$program" "$work/unsigned/$program"; then
        fail "the signed release's $program is the unsigned one"
    fi
    if ! ran_osslsigncode "sign -pkcs12 $keys/signer.p12 -readpass $keys/password -h sha256 -n $program -in build/release/stage/$program -out "; then
        fail "$program was not signed by the command line expected; osslsigncode ran as:"
        cat "$work/osslsigncode-commands"
    fi
    if osslsigncode verify -CAfile "$keys/ca.pem" -in "$signed/$program" >"$work/verify.log" 2>&1; then
        echo "osslsigncode verify -CAfile ca.pem -in $program:"
        sed 's/^/  /' "$work/verify.log"
    else
        fail "osslsigncode verify rejects the signed $program:"
        cat "$work/verify.log"
    fi
    if osslsigncode verify -CAfile "$keys/other-ca.pem" -in "$signed/$program" >"$work/verify.log" 2>&1; then
        fail "osslsigncode verify accepts the signed $program with an authority that did not certify its signer"
    fi
    osslsigncode remove-signature -in "$signed/$program" -out "$work/stripped-$program" >/dev/null
    if cmp "$work/stripped-$program" "$work/unsigned/$program"; then
        echo "$program: $(stat -c %s "$signed/$program") bytes signed, $(stat -c %s "$work/unsigned/$program") unsigned; without its signature, byte-identical to the unsigned release's"
    else
        fail "the signed $program without its signature differs from the unsigned release's"
    fi
done

"$here/check_refresh_under_wine.sh" "$src" "$signed/fontctl.exe" "the signed release" || failures=1

# A time stamp from a server on this machine, through the same script.
cat >"$keys/tsa.cnf" <<EOF
[tsa]
default_tsa = test_tsa
[test_tsa]
serial = $keys/tsa-serial
crypto_device = builtin
signer_cert = $keys/tsa.pem
signer_key = $keys/tsa.key
certs = $keys/ca.pem
signer_digest = sha256
default_policy = 1.3.6.1.4.1.4146.2.3
digests = sha256, sha384, sha512
accuracy = secs:1
ordering = yes
tsa_name = yes
ess_cert_id_chain = no
ess_cert_id_alg = sha256
EOF
echo 01 >"$keys/tsa-serial"
/usr/bin/python3 "$here/timestamp_server.py" "$keys/tsa.cnf" "$work/port" 2>"$work/server.log" &
server_pid=$!
for _ in $(seq 100); do
    [[ -s "$work/port" ]] && break
    sleep 0.1
done
url="http://127.0.0.1:$(cat "$work/port")/"
mkdir "$work/stamped"
cp "$work/unsigned/fontctl.exe" "$work/stamped/"
: >"$work/osslsigncode-commands"
if FONTCTL_SIGN_PKCS12=$keys/signer.p12 FONTCTL_SIGN_PASSWORD_FILE=$keys/password FONTCTL_SIGN_TIMESTAMP_URL=$url \
    "$src/scripts/sign_programs.sh" "$work/stamped/fontctl.exe" >"$work/stamped.log" 2>&1; then
    if ! ran_osslsigncode "sign -pkcs12 $keys/signer.p12 -readpass $keys/password -h sha256 -n fontctl.exe -ts $url -in $work/stamped/fontctl.exe -out "; then
        fail "a time-stamped signature was not made by the command line expected; osslsigncode ran as:"
        cat "$work/osslsigncode-commands"
    fi
    if osslsigncode verify -CAfile "$keys/ca.pem" -TSA-CAfile "$keys/ca.pem" -in "$work/stamped/fontctl.exe" \
        >"$work/verify.log" 2>&1 && grep -q 'Timestamp Server Signature verification: ok' "$work/verify.log"; then
        echo "time-stamped by $url: $(grep -m1 'Timestamp time' "$work/verify.log" | sed 's/^[[:space:]]*//')"
    else
        fail "the time-stamped fontctl.exe does not verify with its time stamp:"
        cat "$work/verify.log"
    fi
    osslsigncode remove-signature -in "$work/stamped/fontctl.exe" -out "$work/stamped/stripped.exe" >/dev/null
    if ! cmp -s "$work/stamped/stripped.exe" "$work/unsigned/fontctl.exe"; then
        fail "the time-stamped fontctl.exe without its signature differs from the unsigned release's"
    fi
else
    fail "sign_programs.sh could not sign with a time stamp from $url:"
    cat "$work/stamped.log" "$work/server.log"
fi

# A time stamp that cannot be had fails the signing: no program goes out
# unstamped when a stamp was asked for.
kill "$server_pid"
wait "$server_pid" 2>/dev/null || true
server_pid=
cp "$work/unsigned/fontctl.exe" "$work/unstamped.exe"
if FONTCTL_SIGN_PKCS12=$keys/signer.p12 FONTCTL_SIGN_PASSWORD_FILE=$keys/password FONTCTL_SIGN_TIMESTAMP_URL=$url \
    "$src/scripts/sign_programs.sh" "$work/unstamped.exe" >"$work/unstamped.log" 2>&1; then
    fail "sign_programs.sh signed although the time-stamp server at $url was gone"
fi
if ! cmp -s "$work/unstamped.exe" "$work/unsigned/fontctl.exe"; then
    fail "a signing that could not get its time stamp changed the program"
fi

# A wrong password: the program stays as it was, and no password is shown.
cp "$work/unsigned/fontctl.exe" "$work/wrong.exe"
if FONTCTL_SIGN_PKCS12=$keys/signer.p12 FONTCTL_SIGN_PASSWORD_FILE=$keys/wrong-password \
    "$src/scripts/sign_programs.sh" "$work/wrong.exe" >"$work/wrong.log" 2>&1; then
    fail "sign_programs.sh signed with a wrong password"
fi
if ! cmp -s "$work/wrong.exe" "$work/unsigned/fontctl.exe"; then
    fail "a failed signing changed the program"
fi

for log in "$work"/*.log "$work/osslsigncode-commands"; do
    if grep -qF -e "$password" -e "$wrong_password" "$log"; then
        fail "a password appears in $(basename "$log")"
    fi
done
exit "$failures"
