#!/usr/bin/env bash
# Signed releases, with a throwaway certificate authority that openssl makes in
# a temporary folder (a code-signing certificate in a password-protected
# PKCS#12 file, certificates that must not sign, and a time-stamping
# certificate):
# - scripts/release.sh refuses, before it builds or signs anything: a checkout
#   with changes that are not committed, unknown arguments, no signing
#   settings without --unsigned, --unsigned with signing settings, half-given
#   signing settings, a wrong password, a PKCS#12 file without a key, and
#   certificates that have expired, are not valid yet, or lack the
#   code-signing extended key usage (another usage, or none), each described
#   in its output;
# - in a copy of the work tree it releases once with --unsigned (saying so in
#   one line) and once signed: the signed release's log describes the
#   certificate (subject, issuer, validity, SHA-256 fingerprint) and no
#   published file does; both signed programs verify against the authority
#   (and not against another), both equal the unsigned release's programs once
#   their signature is removed, the signed fontctl.exe still answers `10` with
#   `0` under Wine, both releases are sound (check_release.py: archive,
#   SHA256SUMS, BUILDINFO) and have the same BUILDINFO;
# - the password never appears on osslsigncode's command lines (recorded by a
#   wrapper on PATH) nor in any output, a wrong one included;
# - with FONTCTL_SIGN_TIMESTAMP_URL, scripts/sign_programs.sh (what release.sh
#   signs with) gets an RFC 3161 time stamp that verifies, from a time-stamp
#   server on 127.0.0.1 (timestamp_server.py), and fails when the server is
#   gone; it signs with a PKCS#12 file in OpenSSL's older (legacy) encryption,
#   and refuses an expired certificate, leaving the program as it was.
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
[server_authentication]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
[no_extended_usage]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
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
make_certificate server ca server_authentication
make_certificate no-usage ca no_extended_usage
# Code-signing certificates out of their validity, from `openssl ca`, which
# takes the dates.
cat >"$keys/ca.cnf" <<EOF
[ca]
default_ca = test_ca
[test_ca]
database = $keys/ca-index
new_certs_dir = $keys
serial = $keys/ca-serial-numbers
default_md = sha256
policy = any_name
unique_subject = no
[any_name]
commonName = supplied
EOF
: >"$keys/ca-index"
echo 1000 >"$keys/ca-serial-numbers"
make_dated_certificate() {  # NAME START END
    openssl req -newkey rsa:2048 -nodes -subj "/CN=fontctl test $1" \
        -keyout "$keys/$1.key" -out "$keys/$1.csr" 2>/dev/null
    openssl ca -batch -config "$keys/ca.cnf" -cert "$keys/ca.pem" -keyfile "$keys/ca.key" -in "$keys/$1.csr" \
        -startdate "$2" -enddate "$3" -extfile "$keys/extensions.cnf" -extensions code_signing -notext \
        -out "$keys/$1.pem" 2>/dev/null
}
make_dated_certificate expired 20000101000000Z 20000102000000Z
make_dated_certificate not-yet-valid "$(date -u -d '+1 year' +%Y%m%d%H%M%SZ)" "$(date -u -d '+2 years' +%Y%m%d%H%M%SZ)"
# A password that nothing else in a run would print by chance.
password="pw-$(head -c 18 /dev/urandom | base64 | tr '+/' '._')"
printf '%s\n' "$password" >"$keys/password"
wrong_password="pw-wrong-$(head -c 18 /dev/urandom | base64 | tr '+/' '._')"
printf '%s\n' "$wrong_password" >"$keys/wrong-password"
# NAME's key and certificate with the authority's certificate.
make_pkcs12() {  # NAME PKCS12 [OPTION...]
    openssl pkcs12 -export -inkey "$keys/$1.key" -in "$keys/$1.pem" -certfile "$keys/ca.pem" \
        -name "fontctl test $1" -passout "file:$keys/password" -out "$keys/$2" "${@:3}"
}
for name in signer server no-usage expired not-yet-valid; do
    make_pkcs12 "$name" "$name.p12"
done
make_pkcs12 signer signer-legacy.p12 -legacy
openssl pkcs12 -export -nokeys -in "$keys/signer.pem" -certfile "$keys/ca.pem" -passout "file:$keys/password" \
    -out "$keys/no-key.p12"

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

# Refusals, each before anything is built or signed: SETUP (undone
# afterwards), the arguments, the settings, and what the output must say
# (strings separated by ";").
signing="FONTCTL_SIGN_PASSWORD_FILE=$keys/password FONTCTL_SIGN_PKCS12=$keys"
refusal_cases=(
    "echo edit >>README.md|--unsigned|-|not committed"
    "echo new >untracked.txt|--unsigned|-|not committed"
    "git update-index --assume-unchanged LICENSE|--unsigned|-|not committed"
    ":|-|-|pass --unsigned;set FONTCTL_SIGN_PKCS12 and FONTCTL_SIGN_PASSWORD_FILE"
    ":|--signed|-|unknown argument '--signed'"
    ":|--unsigned dist|-|unknown argument 'dist'"
    ":|--unsigned|$signing/signer.p12|--unsigned, yet FONTCTL_SIGN_* variables are set"
    ":|--unsigned|FONTCTL_SIGN_TIMESTAMP_URL=http://127.0.0.1:9/|--unsigned, yet FONTCTL_SIGN_* variables are set"
    ":|-|FONTCTL_SIGN_PKCS12=$keys/signer.p12|FONTCTL_SIGN_PASSWORD_FILE"
    ":|-|FONTCTL_SIGN_PASSWORD_FILE=$keys/password|FONTCTL_SIGN_PKCS12"
    ":|-|$signing/missing.p12|readable"
    ":|-|FONTCTL_SIGN_TIMESTAMP_URL=http://127.0.0.1:9/|nothing to time-stamp"
    ":|-|FONTCTL_SIGN_PKCS12=$keys/signer.p12 FONTCTL_SIGN_PASSWORD_FILE=$keys/wrong-password|cannot be read with the password"
    ":|-|$signing/no-key.p12|holds 0 private keys"
    ":|-|$signing/expired.p12|expired at 2000-01-02 00:00:00Z;subject: CN=fontctl test expired"
    ":|-|$signing/not-yet-valid.p12|is not valid before;subject: CN=fontctl test not-yet-valid"
    ":|-|$signing/server.p12|usage is 'TLS Web Server Authentication', without Code Signing;subject: CN=fontctl test server"
    ":|-|$signing/no-usage.p12|names no extended key usage;subject: CN=fontctl test no-usage"
)
for case in "${refusal_cases[@]}"; do
    IFS='|' read -r setup arguments settings expected <<<"$case"
    (cd "$src" && eval "$setup")
    environment=()
    if [[ "$settings" != - ]]; then
        read -ra environment <<<"$settings"
    fi
    options=()
    if [[ "$arguments" != - ]]; then
        read -ra options <<<"$arguments"
    fi
    : >"$work/osslsigncode-commands"
    status=0
    env "${environment[@]}" "$src/scripts/release.sh" "${options[@]}" >"$work/refusal.log" 2>&1 || status=$?
    said=yes
    IFS=';' read -ra strings <<<"$expected"
    for string in "${strings[@]}"; do
        grep -qF -- "$string" "$work/refusal.log" || said=
    done
    if ((status == 0)) || [[ -z "$said" || -e "$src/build/release" || -s "$work/osslsigncode-commands" ]]; then
        fail "release.sh $arguments after '$setup' with '$settings' exited with status $status, built '$(ls "$src/build" 2>/dev/null)', ran osslsigncode $(wc -l <"$work/osslsigncode-commands") times, and said:"
        cat "$work/refusal.log"
    fi
    git -C "$src" update-index --no-assume-unchanged LICENSE
    git -C "$src" checkout -q -- .
    rm -rf "$src/untracked.txt" "$src/build" "$src/dist"
done

# The unsigned release, then the signed one, from the same commit.
if ! "$src/scripts/release.sh" --unsigned >"$work/unsigned.log" 2>&1; then
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

# The certificate as the log must describe it; no published file may.
details() {
    openssl x509 -in "$keys/signer.pem" -noout -nameopt RFC2253 -dateopt iso_8601 "$@" | cut -d= -f2-
}
fingerprint=$(details -fingerprint -sha256)
for line in "subject: $(details -subject)" "issuer: $(details -issuer)" \
    "valid from $(details -startdate) to $(details -enddate)" "SHA-256 fingerprint: $fingerprint"; do
    if ! grep -qF -- "$line" "$work/signed.log"; then
        fail "the signed release's log lacks '$line'"
    fi
done
mkdir "$work/published"
/usr/bin/python3 -m zipfile -e "$signed/fontctl-$version-win64.zip" "$work/published"
cp "$signed/BUILDINFO" "$signed/SHA256SUMS" "$work/published/"
described=$(grep -rliF -e "$fingerprint" -e "${fingerprint//:/}" -e "CN=fontctl test signer" "$work/published" || true)
if [[ -n "$described" ]]; then
    fail "published files describe the signing certificate: $described"
fi

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

# Signing with a PKCS#12 file that older tools make: OpenSSL 3 reads it only
# with its legacy provider, and so must the check of its certificate.
cp "$work/unsigned/fontctl.exe" "$work/legacy.exe"
if ! FONTCTL_SIGN_PKCS12=$keys/signer-legacy.p12 FONTCTL_SIGN_PASSWORD_FILE=$keys/password \
    "$src/scripts/sign_programs.sh" "$work/legacy.exe" >"$work/legacy.log" 2>&1 ||
    ! osslsigncode verify -CAfile "$keys/ca.pem" -in "$work/legacy.exe" >/dev/null 2>&1; then
    fail "sign_programs.sh could not sign with a PKCS#12 file in the legacy encryption:"
    cat "$work/legacy.log"
fi

# sign_programs.sh checks the certificate itself: an expired one signs nothing.
cp "$work/unsigned/fontctl.exe" "$work/expired.exe"
if FONTCTL_SIGN_PKCS12=$keys/expired.p12 FONTCTL_SIGN_PASSWORD_FILE=$keys/password \
    "$src/scripts/sign_programs.sh" "$work/expired.exe" >"$work/expired.log" 2>&1 ||
    ! cmp -s "$work/expired.exe" "$work/unsigned/fontctl.exe"; then
    fail "sign_programs.sh signed with an expired certificate, or changed the program:"
    cat "$work/expired.log"
fi

for log in "$work"/*.log "$work/osslsigncode-commands"; do
    if grep -qF -e "$password" -e "$wrong_password" "$log"; then
        fail "a password appears in $(basename "$log")"
    fi
done
exit "$failures"
