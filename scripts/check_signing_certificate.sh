#!/usr/bin/env bash
# Checks the certificate that a PKCS#12 file would sign programs with, before
# anything is built or signed, and prints what it is: subject, issuer,
# validity and SHA-256 fingerprint, on standard output (the release log, never
# a published file).
#
# The certificate is the one whose public key is the file's private key's, as
# osslsigncode picks it: the rest of the file is its chain. It is refused
# (status 1, the reason on standard error) when
# - the file cannot be read with the password (from the password file, with
#   `-passin file:`: never on a command line or in the environment), or holds
#   not exactly one private key and one certificate for it;
# - it is not valid now: not yet, or no longer;
# - it lacks the code-signing extended key usage (1.3.6.1.5.5.7.3.3).
#   Windows takes a certificate without any extended key usage as good for
#   every purpose, but such a certificate was not issued to sign code (public
#   code-signing certificates must name that usage), so it is refused too, as
#   is one that names only "any extended key usage".
# The private key never reaches a file: it goes through a pipe to have its
# public key taken.
# Usage: check_signing_certificate.sh PKCS12 PASSWORD_FILE
set -euo pipefail
export LC_ALL=C

if (($# != 2)); then
    echo "usage: check_signing_certificate.sh PKCS12 PASSWORD_FILE" >&2
    exit 2
fi
pkcs12=$1
password_file=$2
refuse() {
    echo "check_signing_certificate.sh: $pkcs12: $*" >&2
    exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Files made by older tools encrypt with algorithms that OpenSSL 3 keeps in
# its legacy provider, which osslsigncode loads too.
read_pkcs12() {
    openssl pkcs12 "${legacy[@]}" -in "$pkcs12" -passin "file:$password_file" "$@"
}
legacy=()
if ! read_pkcs12 -nokeys -out "$work/certificates.pem" 2>"$work/error"; then
    legacy=(-legacy)
    if ! read_pkcs12 -nokeys -out "$work/certificates.pem" 2>/dev/null; then
        refuse "cannot be read with the password in $password_file: $(tr '\n' ' ' <"$work/error")"
    fi
fi

keys=$(read_pkcs12 -info -noout 2>&1 | grep -ci 'key *bag' || true)
if ((keys != 1)); then
    refuse "holds $keys private keys, not one"
fi
read_pkcs12 -nocerts -nodes 2>/dev/null | openssl pkey -pubout -out "$work/key.pub" 2>/dev/null ||
    refuse "its private key cannot be read"

awk -v prefix="$work/certificate-" '
    /^-----BEGIN CERTIFICATE-----$/ { count++; inside = 1 }
    inside { print >(prefix count ".pem") }
    /^-----END CERTIFICATE-----$/ { inside = 0 }
' "$work/certificates.pem"
shopt -s nullglob
matching=()
for certificate in "$work"/certificate-*.pem; do
    if openssl x509 -in "$certificate" -noout -pubkey | cmp -s - "$work/key.pub"; then
        matching+=("$certificate")
    fi
done
if ((${#matching[@]} != 1)); then
    refuse "holds ${#matching[@]} certificates for its private key, not one"
fi
certificate=${matching[0]}

field() {  # OPTION: the value that `openssl x509 OPTION` prints after its "="
    openssl x509 -in "$certificate" -noout -nameopt RFC2253 -dateopt iso_8601 "$1" | cut -d= -f2-
}
not_before=$(field -startdate)
not_after=$(field -enddate)
echo "signing certificate in $pkcs12:"
echo "  subject: $(field -subject)"
echo "  issuer: $(field -issuer)"
echo "  valid from $not_before to $not_after"
echo "  SHA-256 fingerprint: $(openssl x509 -in "$certificate" -noout -fingerprint -sha256 | cut -d= -f2)"

now=$(date -u +%s)
# A date that cannot be read must refuse, not compare as nothing.
start=$(date -u -d "$not_before" +%s 2>/dev/null) && end=$(date -u -d "$not_after" +%s 2>/dev/null) ||
    refuse "the validity of its certificate cannot be read ('$not_before' to '$not_after')"
if ((start > now)); then
    refuse "its certificate is not valid before $not_before"
fi
if ((end < now)); then
    refuse "its certificate expired at $not_after"
fi
# The usages follow the extension's heading, one line, comma-separated.
usages=$(openssl x509 -in "$certificate" -noout -ext extendedKeyUsage 2>/dev/null |
    sed -n '/^X509v3 Extended Key Usage:/{n;s/^ *//;p}')
if [[ -z "$usages" ]]; then
    refuse "its certificate names no extended key usage; a certificate to sign programs with must name Code Signing"
fi
if ! grep -Eq '(^|, *)Code Signing(,|$)' <<<"$usages"; then
    refuse "its certificate's extended key usage is '$usages', without Code Signing"
fi
